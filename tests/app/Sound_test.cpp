#include "Sound.h"

#include "WavFile.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include <unistd.h>

namespace
{

using namespace std::chrono_literals;
using TClock = std::chrono::steady_clock;

// Sounds are constant levels, so that the device output tells which sound was
// heard and for how long, whatever the device's rate and channel count.
constexpr std::int16_t LevelA = 8000;
constexpr std::int16_t LevelB = 16000;
constexpr std::uint32_t FileRate = 22050;

enum class TLevel
{
    Silence,
    A,
    B,
    Other
};

struct TRun
{
    TLevel Level;
    std::size_t Length;
};

TLevel Classify(const std::int16_t sample)
{
    if (std::abs(sample) < 300)
        return TLevel::Silence;
    if (std::abs(sample - LevelA) < 800)
        return TLevel::A;
    if (std::abs(sample - LevelB) < 1200)
        return TLevel::B;
    return TLevel::Other;
}

// The sounds heard, in order, with their lengths in device samples. Edges
// produce a few samples at in-between values, which are not runs.
std::vector<TRun> HeardRuns(const std::vector<std::int16_t>& output)
{
    constexpr std::size_t shortestRun = 200;
    std::vector<TRun> runs;
    std::size_t i = 0;
    while (i < output.size())
    {
        const TLevel level = Classify(output[i]);
        std::size_t end = i;
        while (end < output.size() && Classify(output[end]) == level)
            ++end;
        if ((level == TLevel::A || level == TLevel::B) && end - i >= shortestRun)
        {
            if (!runs.empty() && runs.back().Level == level)
                runs.back().Length += end - i;
            else
                runs.push_back({level, end - i});
        }
        i = end;
    }
    return runs;
}

std::vector<TLevel> LevelsOf(const std::vector<TRun>& runs)
{
    std::vector<TLevel> levels;
    for (const TRun& run : runs)
        levels.push_back(run.Level);
    return levels;
}

double Seconds(const TClock::duration elapsed)
{
    return std::chrono::duration<double>(elapsed).count();
}

// Waits until the current sound has ended and returns the time it took.
double WaitForSilence(const TClock::time_point since)
{
    const TClock::time_point deadline = TClock::now() + 5s;
    while (SoundIsPlaying() && TClock::now() < deadline)
        std::this_thread::sleep_for(2ms);
    return Seconds(TClock::now() - since);
}

class Sound : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        Dir = std::filesystem::temp_directory_path() / ("stickfight_sound_" + std::to_string(getpid()));
        std::filesystem::create_directories(Dir);
    }

    static void TearDownTestSuite()
    {
        ShutdownSound();
        std::filesystem::remove_all(Dir);
    }

    void SetUp() override { ShutdownSound(); }
    void TearDown() override
    {
        ShutdownSound();
        SetSoundVolume(100);
    }

    static std::u16string LevelSound(const std::string& name, const std::int16_t level, const double seconds)
    {
        const std::filesystem::path path = Dir / name;
        const std::vector<std::int16_t> samples(static_cast<std::size_t>(seconds * FileRate), level);
        EXPECT_TRUE(WavFile::Write(path.string(), FileRate, samples));
        return ToUtf16(path.string());
    }

    static std::u16string ToUtf16(const std::string& ascii) { return {ascii.begin(), ascii.end()}; }

    void UseDiskOutput()
    {
        OutputPath =
            (Dir / (std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()) + ".raw")).string();
        setenv("SDL_AUDIODRIVER", "disk", 1);
        setenv("SDL_DISKAUDIOFILE", OutputPath.c_str(), 1);
    }

    static void UseSilentOutput() { setenv("SDL_AUDIODRIVER", "dummy", 1); }

    // The disk driver writes the device's 16-bit samples; the file is complete
    // once the device is closed.
    std::vector<TRun> HeardOutput() const
    {
        ShutdownSound();
        std::ifstream file(OutputPath, std::ios::binary);
        std::vector<char> bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
        std::vector<std::int16_t> samples(bytes.size() / 2);
        std::memcpy(samples.data(), bytes.data(), samples.size() * 2);
        return HeardRuns(samples);
    }

    static inline std::filesystem::path Dir;
    std::string OutputPath;
};

TEST_F(Sound, AsyncPlayReturnsAtOnceAndEndsByItself)
{
    UseDiskOutput();
    const std::u16string a = LevelSound("async_a.wav", LevelA, 0.6);
    const std::u16string b = LevelSound("async_b.wav", LevelB, 0.3);

    const TClock::time_point start = TClock::now();
    EXPECT_TRUE(PlaySoundW(a.c_str(), HInstance, SND_ASYNC));
    // Bounds are generous for a busy machine, yet apart from the sound's length.
    EXPECT_LT(Seconds(TClock::now() - start), 0.4);
    EXPECT_TRUE(SoundIsPlaying());
    std::this_thread::sleep_for(300ms);
    EXPECT_TRUE(SoundIsPlaying());
    const double heard = WaitForSilence(start);
    EXPECT_GT(heard, 0.55);
    EXPECT_LT(heard, 3.0);

    EXPECT_TRUE(PlaySoundW(b.c_str(), HInstance, SND_ASYNC));
    WaitForSilence(TClock::now());

    // The whole of A was heard: twice as long as B.
    const std::vector<TRun> runs = HeardOutput();
    ASSERT_EQ(LevelsOf(runs), (std::vector{TLevel::A, TLevel::B}));
    EXPECT_NEAR(static_cast<double>(runs[0].Length) / runs[1].Length, 2.0, 0.2);
}

TEST_F(Sound, AsyncPlayReplacesThePlayingSound)
{
    UseDiskOutput();
    const std::u16string a = LevelSound("replace_a.wav", LevelA, 2.0);
    const std::u16string b = LevelSound("replace_b.wav", LevelB, 0.3);

    const TClock::time_point start = TClock::now();
    EXPECT_TRUE(PlaySoundW(a.c_str(), HInstance, SND_ASYNC));
    std::this_thread::sleep_for(100ms);
    EXPECT_TRUE(PlaySoundW(b.c_str(), HInstance, SND_ASYNC));
    EXPECT_LT(Seconds(TClock::now() - start), 1.0);
    EXPECT_LT(WaitForSilence(start), 1.8);

    // A was cut after about a third of B's length and did not come back.
    const std::vector<TRun> runs = HeardOutput();
    ASSERT_EQ(LevelsOf(runs), (std::vector{TLevel::A, TLevel::B}));
    EXPECT_LT(runs[0].Length, runs[1].Length * 7 / 10);
}

TEST_F(Sound, NoStopPlayStartsOnlyWhenNothingPlays)
{
    UseDiskOutput();
    const std::u16string a = LevelSound("nostop_a.wav", LevelA, 0.8);
    const std::u16string b = LevelSound("nostop_b.wav", LevelB, 0.4);

    EXPECT_TRUE(PlaySoundW(a.c_str(), HInstance, SND_ASYNC | SND_NOSTOP));
    EXPECT_FALSE(PlaySoundW(b.c_str(), HInstance, SND_ASYNC | SND_NOSTOP));
    EXPECT_TRUE(SoundIsPlaying());
    WaitForSilence(TClock::now());
    const TClock::time_point start = TClock::now();
    EXPECT_TRUE(PlaySoundW(b.c_str(), HInstance, SND_ASYNC | SND_NOSTOP));
    EXPECT_LT(Seconds(TClock::now() - start), 0.3);
    WaitForSilence(start);

    // A was heard whole (twice B's length) and B only after it.
    const std::vector<TRun> runs = HeardOutput();
    ASSERT_EQ(LevelsOf(runs), (std::vector{TLevel::A, TLevel::B}));
    EXPECT_NEAR(static_cast<double>(runs[0].Length) / runs[1].Length, 2.0, 0.2);
}

TEST_F(Sound, SyncPlayReturnsWhenTheSoundHasEnded)
{
    UseDiskOutput();
    const std::u16string a = LevelSound("sync_a.wav", LevelA, 2.0);
    const std::u16string b = LevelSound("sync_b.wav", LevelB, 0.4);

    EXPECT_TRUE(PlaySoundW(a.c_str(), HInstance, SND_ASYNC));
    std::this_thread::sleep_for(100ms);
    const TClock::time_point start = TClock::now();
    EXPECT_TRUE(PlaySoundW(b.c_str(), HInstance, SND_SYNC));
    const double elapsed = Seconds(TClock::now() - start);
    EXPECT_GT(elapsed, 0.38);
    EXPECT_LT(elapsed, 3.0);
    EXPECT_FALSE(SoundIsPlaying());

    const std::vector<TRun> runs = HeardOutput();
    ASSERT_EQ(LevelsOf(runs), (std::vector{TLevel::A, TLevel::B}));
    EXPECT_LT(runs[0].Length, runs[1].Length / 2);
}

TEST_F(Sound, NullNameStopsThePlayingSound)
{
    EXPECT_TRUE(PlaySoundW(nullptr, HInstance, SND_ASYNC)) << "stopping before any sound";

    UseDiskOutput();
    const std::u16string a = LevelSound("stop_a.wav", LevelA, 2.0);
    const std::u16string b = LevelSound("stop_b.wav", LevelB, 0.3);
    EXPECT_TRUE(PlaySoundW(a.c_str(), HInstance, SND_ASYNC));
    std::this_thread::sleep_for(100ms);
    EXPECT_TRUE(PlaySoundW(nullptr, HInstance, SND_ASYNC));
    EXPECT_FALSE(SoundIsPlaying());
    std::this_thread::sleep_for(100ms);
    EXPECT_TRUE(PlaySoundW(b.c_str(), HInstance, SND_SYNC));

    // A stopped after about a third of B's length, then silence until B.
    const std::vector<TRun> runs = HeardOutput();
    ASSERT_EQ(LevelsOf(runs), (std::vector{TLevel::A, TLevel::B}));
    EXPECT_LT(runs[0].Length, runs[1].Length * 7 / 10);
}

TEST_F(Sound, VolumeScalesTheSamplesAndMutedSoundsKeepTheirLength)
{
    UseDiskOutput();
    const std::u16string b = LevelSound("volume_b.wav", LevelB, 0.4);

    SetSoundVolume(50);
    EXPECT_TRUE(PlaySoundW(b.c_str(), HInstance, SND_SYNC));
    SetSoundVolume(0);
    const TClock::time_point start = TClock::now();
    EXPECT_TRUE(PlaySoundW(b.c_str(), HInstance, SND_ASYNC));
    EXPECT_TRUE(SoundIsPlaying());
    const double muted = WaitForSilence(start);
    EXPECT_GT(muted, 0.38) << "a muted sound is waited for as long as a heard one";
    EXPECT_LT(muted, 3.0);
    SetSoundVolume(100);
    EXPECT_TRUE(PlaySoundW(b.c_str(), HInstance, SND_SYNC));

    // Half of B's level is A's; the muted sound is silence; full volume is B.
    const std::vector<TRun> runs = HeardOutput();
    ASSERT_EQ(LevelsOf(runs), (std::vector{TLevel::A, TLevel::B}));
    EXPECT_NEAR(static_cast<double>(runs[0].Length) / runs[1].Length, 1.0, 0.1);
}

TEST_F(Sound, UnreadableFilePlaysNothingAndKeepsThePlayingSound)
{
    UseSilentOutput();
    const std::u16string missing = ToUtf16((Dir / "missing.wav").string());
    const std::filesystem::path garbagePath = Dir / "garbage.wav";
    std::ofstream(garbagePath) << "this is not a sound";
    const std::u16string garbage = ToUtf16(garbagePath.string());

    const TClock::time_point start = TClock::now();
    for (const std::u16string& name : {missing, garbage})
    {
        for (const std::uint32_t flags : {SND_SYNC, SND_ASYNC, SND_ASYNC | SND_NOSTOP})
        {
            EXPECT_NO_THROW(EXPECT_FALSE(PlaySoundW(name.c_str(), HInstance, flags)));
            EXPECT_FALSE(SoundIsPlaying());
        }
    }
    EXPECT_LT(Seconds(TClock::now() - start), 1.0) << "a synchronous request for nothing does not wait";

    const std::u16string a = LevelSound("keep_a.wav", LevelA, 1.0);
    EXPECT_TRUE(PlaySoundW(a.c_str(), HInstance, SND_ASYNC));
    EXPECT_FALSE(PlaySoundW(missing.c_str(), HInstance, SND_ASYNC));
    EXPECT_FALSE(PlaySoundW(garbage.c_str(), HInstance, SND_ASYNC));
    EXPECT_TRUE(SoundIsPlaying());
}

TEST_F(Sound, DamagedSampleRatePlaysNothing)
{
    UseSilentOutput();
    // Three thousand samples said to last a second each: fifty minutes.
    const std::filesystem::path path = Dir / "one_hertz.wav";
    ASSERT_TRUE(WavFile::Write(path.string(), 1, std::vector<std::int16_t>(3000, LevelA)));
    const std::u16string name = ToUtf16(path.string());
    const TClock::time_point start = TClock::now();
    EXPECT_FALSE(PlaySoundW(name.c_str(), HInstance, SND_ASYNC));
    EXPECT_FALSE(SoundIsPlaying());
    EXPECT_LT(Seconds(TClock::now() - start), 1.0);
}

TEST_F(Sound, MissingDeviceFallsBackToSilentOutput)
{
    setenv("SDL_AUDIODRIVER", "no_such_driver", 1);
    const std::u16string a = LevelSound("fallback_a.wav", LevelA, 0.3);

    const TClock::time_point start = TClock::now();
    EXPECT_TRUE(PlaySoundW(a.c_str(), HInstance, SND_ASYNC));
    EXPECT_TRUE(SoundIsPlaying());
    const double heard = WaitForSilence(start);
    EXPECT_GT(heard, 0.25);
    EXPECT_LT(heard, 3.0);

    // The silent driver was chosen for that device only.
    ShutdownSound();
    ShutdownSound();
    UseDiskOutput();
    EXPECT_TRUE(PlaySoundW(a.c_str(), HInstance, SND_SYNC));
    EXPECT_EQ(LevelsOf(HeardOutput()), std::vector{TLevel::A});
}

} // namespace
