#include "Sound.h"

#include <QString>
#include <SDL.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace
{

char ModuleTag;

std::string Utf8FromUtf16(const char16_t* text)
{
    return QString::fromUtf16(text).toStdString();
}

using TDeviceSamples = std::vector<Uint8>;

// Lower rates come from a damaged header: converted to the device's rate,
// one second per sample would turn a small file into gigabytes and, played
// synchronously, block the window for hours.
constexpr int LowestFileRate = 1000;

// One output device fed in push mode: a request replaces the queue's content,
// so a non-empty queue means that the last sound is still being heard.
class TSoundPlayer
{
public:
    TSoundPlayer() = default;
    TSoundPlayer(const TSoundPlayer&) = delete;
    TSoundPlayer& operator=(const TSoundPlayer&) = delete;
    ~TSoundPlayer() { Shutdown(); }

    bool Play(const std::string& fileName, std::uint32_t flags);
    void Stop() const;
    bool IsPlaying() const;
    void Shutdown();
    void SetVolume(const int percent) { FVolume = std::clamp(percent, 0, FullVolume); }
    int Volume() const { return FVolume; }

private:
    static constexpr int FullVolume = 100;

    bool EnsureDevice();
    bool OpenDevice();
    bool OpenWithCurrentDriver();
    std::optional<TDeviceSamples> LoadForDevice(const std::string& fileName) const;
    void ScaleToVolume(TDeviceSamples& samples) const;
    bool Start(const TDeviceSamples& samples) const;
    void WaitForEnd(std::size_t byteCount) const;
    Uint64 DurationMs(std::size_t byteCount) const;

    SDL_AudioDeviceID FDevice = 0;
    SDL_AudioSpec FSpec{};
    TDeviceSamples FTail;
    bool FDeviceFailed = false;
    int FVolume = FullVolume;
};

bool TSoundPlayer::Play(const std::string& fileName, const std::uint32_t flags)
{
    if (!EnsureDevice())
        return false;
    // Checked before loading: the menu repeats this request at every tick.
    if ((flags & SND_NOSTOP) != 0 && IsPlaying())
        return false;
    const std::optional<TDeviceSamples> samples = LoadForDevice(fileName);
    if (!samples || !Start(*samples))
        return false;
    if ((flags & SND_ASYNC) == 0)
        WaitForEnd(samples->size() + FTail.size());
    return true;
}

void TSoundPlayer::Stop() const
{
    if (FDevice != 0)
        SDL_ClearQueuedAudio(FDevice);
}

bool TSoundPlayer::IsPlaying() const
{
    return FDevice != 0 && SDL_GetQueuedAudioSize(FDevice) > 0;
}

void TSoundPlayer::Shutdown()
{
    if (FDevice != 0)
    {
        SDL_CloseAudioDevice(FDevice);
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        FDevice = 0;
    }
    FTail.clear();
    FDeviceFailed = false;
}

bool TSoundPlayer::EnsureDevice()
{
    // A device that could not be opened is not retried at every request.
    if (FDevice == 0 && !FDeviceFailed)
        FDeviceFailed = !OpenDevice();
    return FDevice != 0;
}

bool TSoundPlayer::OpenDevice()
{
    if (OpenWithCurrentDriver())
        return true;
    // Without a sound card the audio subsystem may start and still have no
    // device to open; the game then plays into the silent driver.
    SDL_SetHintWithPriority(SDL_HINT_AUDIODRIVER, "dummy", SDL_HINT_OVERRIDE);
    const bool opened = OpenWithCurrentDriver();
    SDL_ResetHint(SDL_HINT_AUDIODRIVER);
    return opened;
}

bool TSoundPlayer::OpenWithCurrentDriver()
{
    // The audio subsystem would otherwise turn SIGTERM and SIGINT into quit
    // events that nothing reads, and the game could not be ended by them.
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0)
        return false;
    SDL_AudioSpec desired{};
    desired.freq = 44100;
    desired.format = AUDIO_S16SYS;
    desired.channels = 2;
    // About 23 ms: short enough for a sound to follow a click closely.
    desired.samples = 1024;
    FDevice = SDL_OpenAudioDevice(nullptr, 0, &desired, &FSpec,
                                  SDL_AUDIO_ALLOW_FREQUENCY_CHANGE | SDL_AUDIO_ALLOW_CHANNELS_CHANGE);
    if (FDevice == 0)
    {
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        return false;
    }
    // Queued after each sound so that the queue empties only once the sound's
    // last buffer has been handed to the device and played.
    FTail.assign(FSpec.size, FSpec.silence);
    SDL_PauseAudioDevice(FDevice, 0);
    return true;
}

std::optional<TDeviceSamples> TSoundPlayer::LoadForDevice(const std::string& fileName) const
{
    SDL_AudioSpec fileSpec{};
    Uint8* fileData = nullptr;
    Uint32 fileLength = 0;
    if (SDL_LoadWAV(fileName.c_str(), &fileSpec, &fileData, &fileLength) == nullptr)
        return std::nullopt;
    const std::unique_ptr<Uint8, decltype(&SDL_FreeWAV)> ownedData(fileData, SDL_FreeWAV);
    if (fileSpec.freq < LowestFileRate)
        return std::nullopt;

    const std::unique_ptr<SDL_AudioStream, decltype(&SDL_FreeAudioStream)> stream(
        SDL_NewAudioStream(fileSpec.format, fileSpec.channels, fileSpec.freq, FSpec.format, FSpec.channels, FSpec.freq),
        SDL_FreeAudioStream);
    if (!stream || SDL_AudioStreamPut(stream.get(), fileData, static_cast<int>(fileLength)) != 0 ||
        SDL_AudioStreamFlush(stream.get()) != 0)
        return std::nullopt;

    TDeviceSamples samples(static_cast<std::size_t>(SDL_AudioStreamAvailable(stream.get())));
    const int converted = SDL_AudioStreamGet(stream.get(), samples.data(), static_cast<int>(samples.size()));
    if (converted < 0)
        return std::nullopt;
    samples.resize(static_cast<std::size_t>(converted));
    ScaleToVolume(samples);
    return samples;
}

// The device takes 16-bit samples in the machine's byte order (its format is
// fixed when it is opened).
void TSoundPlayer::ScaleToVolume(TDeviceSamples& samples) const
{
    if (FVolume == FullVolume)
        return;
    for (std::size_t i = 0; i + 1 < samples.size(); i += 2)
    {
        Sint16 sample = 0;
        std::memcpy(&sample, &samples[i], 2);
        sample = static_cast<Sint16>(sample * FVolume / FullVolume);
        std::memcpy(&samples[i], &sample, 2);
    }
}

bool TSoundPlayer::Start(const TDeviceSamples& samples) const
{
    SDL_ClearQueuedAudio(FDevice);
    return SDL_QueueAudio(FDevice, samples.data(), static_cast<Uint32>(samples.size())) == 0 &&
           SDL_QueueAudio(FDevice, FTail.data(), static_cast<Uint32>(FTail.size())) == 0;
}

void TSoundPlayer::WaitForEnd(const std::size_t byteCount) const
{
    // A device that stops consuming must not block the window for ever.
    const Uint64 limitMs = DurationMs(byteCount) + 2000;
    const Uint64 startMs = SDL_GetTicks64();
    while (IsPlaying())
    {
        if (SDL_GetTicks64() - startMs > limitMs)
        {
            Stop();
            return;
        }
        SDL_Delay(2);
    }
}

Uint64 TSoundPlayer::DurationMs(const std::size_t byteCount) const
{
    const Uint64 bytesPerSecond =
        static_cast<Uint64>(FSpec.freq) * FSpec.channels * (SDL_AUDIO_BITSIZE(FSpec.format) / 8);
    return bytesPerSecond == 0 ? 0 : byteCount * 1000 / bytesPerSecond;
}

TSoundPlayer Player;

} // namespace

void* const HInstance = &ModuleTag;

bool PlaySoundW(const char16_t* const pszSound, [[maybe_unused]] void* const hmod, const std::uint32_t fdwSound)
{
    if (pszSound == nullptr)
    {
        Player.Stop();
        return true;
    }
    return Player.Play(Utf8FromUtf16(pszSound), fdwSound);
}

void SetSoundVolume(const int percent)
{
    Player.SetVolume(percent);
}

int SoundVolume()
{
    return Player.Volume();
}

bool SoundIsPlaying()
{
    return Player.IsPlaying();
}

void ShutdownSound()
{
    Player.Shutdown();
}
