// Writes the game's sounds into the folder given as the only argument.

#include "Synth.h"
#include "WavFile.h"

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <numbers>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

using namespace Synth;

namespace
{

// Loud enough to be heard over the game, with headroom left for the mixer.
constexpr double Peak = 0.6;

constexpr double TwoPi = 2.0 * std::numbers::pi;

// Resonances of the sung vowels and nasals, in hertz.
constexpr TFormants VowelOo{300, 700, 2200};
constexpr TFormants VowelAh{750, 1150, 2450};
constexpr TFormants VowelUu{350, 750, 2300};
constexpr TFormants VowelUh{640, 1190, 2390};
constexpr TFormants VowelO{600, 900, 2500};
constexpr TFormants NasalM{250, 1000, 2200};
constexpr TFormants NasalN{250, 1700, 2600};

// Menu opened: a rising bell arpeggio that settles on a ringing chord with a
// few high sparkles over it.
TSignal Star()
{
    constexpr double length = 1.5;
    TSignal out(SampleCount(length));
    const int arpeggio[] = {72, 76, 79, 84, 88, 91};
    for (int i = 0; i < 6; ++i)
    {
        const double start = 0.07 * i;
        MixInto(out, Bell(MidiFrequency(arpeggio[i]), length - start, 0.35), start, 0.5);
    }
    for (const int note : {84, 88, 91, 96})
        MixInto(out, Bell(MidiFrequency(note), length - 0.45, 0.5), 0.45, 0.3);
    struct TSparkle
    {
        double Time;
        int Note;
    };
    constexpr TSparkle sparkles[] = {{0.55, 100}, {0.68, 103}, {0.80, 98}, {0.90, 105}, {1.02, 100}, {1.12, 96}};
    for (const TSparkle& sparkle : sparkles)
        MixInto(out, Bell(MidiFrequency(sparkle.Note), 0.3, 0.1), sparkle.Time, 0.15);
    for (std::size_t i = 0; i < out.size(); ++i)
        out[i] *= 1.0 - Smoothstep(1.1, length, Seconds(i));
    // Rounding of the notes' lengths may overhang the end by a sample.
    out.resize(SampleCount(length));
    Normalize(out, Peak);
    return out;
}

// Start sequence: a sung "wow", the pitch thrown up and let down while the
// vowel opens from "oo" to "ah" and closes again.
TSignal Wow()
{
    constexpr double length = 0.8;
    TSignal out = Voice(length,
                        [](const double t)
                        {
                            const double contour =
                                t < 0.22 ? Glide(140, 250, 0.0, 0.22, t) : Glide(250, 165, 0.22, length, t);
                            const double pitch = contour * (1.0 + 0.01 * std::sin(TwoPi * 5.5 * t));
                            const TFormants vowel = t < 0.4 ? Mix(VowelOo, VowelAh, Smoothstep(0.08, 0.28, t))
                                                            : Mix(VowelAh, VowelUu, Smoothstep(0.42, 0.72, t));
                            const double openness = (vowel.F1 - VowelOo.F1) / (VowelAh.F1 - VowelOo.F1);
                            return TVoiceFrame{pitch, vowel, Gate(t, length, 0.06, 0.18) * (0.45 + 0.55 * openness)};
                        });
    Normalize(out, Peak);
    return out;
}

// "Come": a short, slightly rising note closing on an "m".
TSignal ComeWord()
{
    constexpr double length = 0.40;
    return Voice(length,
                 [](const double t)
                 {
                     const double closing = Smoothstep(0.27, 0.33, t);
                     return TVoiceFrame{Glide(235, 245, 0.0, 0.3, t), Mix(VowelUh, NasalM, closing),
                                        Gate(t, length, 0.02, 0.06) * (1.0 - 0.55 * closing)};
                 });
}

// "On": the taunt's long note, bent up then drawn down, closing on an "n".
TSignal OnWord()
{
    constexpr double length = 0.72;
    return Voice(length,
                 [](const double t)
                 {
                     const double contour = t < 0.14 ? Glide(200, 228, 0.0, 0.14, t) : Glide(228, 158, 0.14, 0.65, t);
                     const double vibrato = 0.015 * Smoothstep(0.2, 0.35, t) * std::sin(TwoPi * 5.5 * t);
                     const double closing = Smoothstep(0.52, 0.6, t);
                     return TVoiceFrame{contour * (1.0 + vibrato), Mix(VowelO, NasalN, closing),
                                        Gate(t, length, 0.035, 0.1) * (1.0 - 0.5 * closing)};
                 });
}

TSignal ComeOn()
{
    TSignal out(SampleCount(1.2));
    TNoise noise(0xC0DE);
    MixInto(out, NoiseBurst(noise, 0.04, 2200), 0.0, 1.5);
    MixInto(out, ComeWord(), 0.03, 1.0);
    MixInto(out, OnWord(), 0.46, 1.0);
    Normalize(out, Peak);
    return out;
}

// Fight music: sixteen bars at 150 beats a minute, melody on a square lead,
// triangle bass, quiet arpeggios and drums. Every note dies out before the
// end, so the tune loops without a click.
constexpr double StepSeconds = 0.1;
constexpr int StepsPerBar = 16;

struct TBar
{
    const char* Chord;
    const char* Melody;
};

constexpr TBar Song[] = {
    {"C", "E5:2 G5:2 C6:3 B5:1 C6:2 G5:2 E5:2 G5:2"},
    {"G", "D6:3 B5:1 G5:2 B5:2 D6:2 C6:2 B5:2 G5:2"},
    {"Am", "C6:2 A5:2 E5:2 A5:2 C6:3 B5:1 A5:4"},
    {"F", "A5:2 C6:2 F5:2 A5:2 G5:2 F5:2 E5:2 D5:2"},
    {"C", "E5:2 G5:2 C6:3 B5:1 C6:2 E6:2 D6:2 C6:2"},
    {"G", "B5:3 D6:1 G6:4 F6:2 E6:2 D6:2 B5:2"},
    {"F", "C6:2 A5:2 F5:2 A5:2 C6:2 D6:2 C6:2 A5:2"},
    {"G", "B5:4 G5:2 A5:2 B5:2 D6:6"},
    {"F", "A5:4 C6:4 F6:6 E6:2"},
    {"G", "D6:4 B5:4 G5:4 B5:2 D6:2"},
    {"Em", "E6:4 B5:4 G5:2 B5:2 E6:2 G6:2"},
    {"Am", "E6:6 D6:2 C6:4 A5:4"},
    {"F", "F5:2 A5:2 C6:2 F6:2 E6:2 C6:2 A5:2 C6:2"},
    {"G", "D6:2 B5:2 G5:2 B5:2 D6:2 G6:2 F6:2 D6:2"},
    {"C", "E6:3 D6:1 C6:2 G5:2 E5:2 G5:2 C6:4"},
    {"G", "B5:2 R:2 B5:2 C6:2 D6:4 R:4"},
};
constexpr int BarCount = sizeof(Song) / sizeof(Song[0]);

struct TChord
{
    int Root;  // pitch class, C = 0
    int Third; // semitones above the root
};

int PitchClass(const char letter)
{
    const std::string letters = "C D EF G A B";
    const std::size_t position = letters.find(letter);
    if (position == std::string::npos || letter == ' ')
        throw std::logic_error(std::string("not a note name: ") + letter);
    return static_cast<int>(position);
}

// "C", "Am": a root letter, "m" for a minor third.
TChord ParseChord(const std::string& name)
{
    return {PitchClass(name.at(0)), name.size() > 1 && name[1] == 'm' ? 3 : 4};
}

// "E5", "C#4", "Bb3": MIDI note number, octave 4 starting at middle C (60).
int ParsePitch(const std::string& name)
{
    int pitch = PitchClass(name.at(0));
    std::size_t octavePosition = 1;
    if (name.at(1) == '#' || name.at(1) == 'b')
    {
        pitch += name[1] == '#' ? 1 : -1;
        octavePosition = 2;
    }
    return pitch + 12 * (std::stoi(name.substr(octavePosition)) + 1);
}

struct TNote
{
    int Step;
    int Length;
    int Pitch;
};

// "E5:2 R:2 ..." : pitch (or R for a rest) and length in sixteenths.
std::vector<TNote> ParseMelody(const std::string& text)
{
    std::vector<TNote> notes;
    std::istringstream tokens(text);
    std::string token;
    int step = 0;
    while (tokens >> token)
    {
        const std::size_t colon = token.find(':');
        const std::string name = token.substr(0, colon);
        const int length = std::stoi(token.substr(colon + 1));
        if (name != "R")
            notes.push_back({step, length, ParsePitch(name)});
        step += length;
    }
    if (step != StepsPerBar)
        throw std::logic_error("bar of " + std::to_string(step) + " sixteenths: " + text);
    return notes;
}

void AddMelody(TSignal& song, const double barStart, const TBar& bar)
{
    for (const TNote& note : ParseMelody(bar.Melody))
    {
        const double length = note.Length * StepSeconds * 0.92;
        const double vibrato = note.Length >= 4 ? 0.15 : 0.0;
        MixInto(song, Pulse(MidiFrequency(note.Pitch - 12), 0.25, length, vibrato), barStart + note.Step * StepSeconds,
                0.3);
    }
}

void AddBass(TSignal& song, const double barStart, const TChord& chord)
{
    const int root = 36 + chord.Root;
    const int pattern[] = {0, 12, 0, 12, 0, 12, 7, 12};
    for (int i = 0; i < 8; ++i)
        MixInto(song, Triangle(MidiFrequency(root + pattern[i]), 2 * StepSeconds * 0.85),
                barStart + 2 * i * StepSeconds, 0.45);
}

void AddArpeggio(TSignal& song, const double barStart, const TChord& chord)
{
    const int root = 60 + chord.Root;
    const int tones[] = {0, chord.Third, 7, 12};
    for (int step = 0; step < StepsPerBar; ++step)
        MixInto(song, Pulse(MidiFrequency(root + tones[step % 4]), 0.125, StepSeconds * 0.8, 0.0),
                barStart + step * StepSeconds, 0.08);
}

void AddDrums(TSignal& song, const double barStart, const int bar, TNoise& noise)
{
    const auto at = [barStart](const int step) { return barStart + step * StepSeconds; };
    const bool lastBar = bar == BarCount - 1;
    MixInto(song, Kick(), at(0), 0.5);
    MixInto(song, Kick(), at(8), 0.5);
    if (bar % 2 == 1 && !lastBar)
        MixInto(song, Kick(), at(10), 0.4);
    MixInto(song, Snare(noise), at(4), 0.3);
    if (lastBar)
    {
        // A roll into the top of the loop, ending early enough to die out.
        for (int step = 11; step <= 14; ++step)
            MixInto(song, Snare(noise), at(step), 0.18 + 0.04 * (step - 11));
    }
    else
    {
        MixInto(song, Snare(noise), at(12), 0.3);
    }
    for (int step = 0; step < StepsPerBar; step += 2)
        MixInto(song, HiHat(noise), at(step), step % 4 == 2 ? 0.12 : 0.07);
}

TSignal Amamaison()
{
    const double length = BarCount * StepsPerBar * StepSeconds;
    TSignal song(SampleCount(length));
    TNoise noise(0x5EED);
    for (int bar = 0; bar < BarCount; ++bar)
    {
        const double barStart = bar * StepsPerBar * StepSeconds;
        const TChord chord = ParseChord(Song[bar].Chord);
        AddMelody(song, barStart, Song[bar]);
        AddBass(song, barStart, chord);
        // The first phrase is bare; the accompaniment fills in from the second.
        if (bar >= 4)
            AddArpeggio(song, barStart, chord);
        AddDrums(song, barStart, bar, noise);
    }
    song.resize(SampleCount(length));
    Normalize(song, Peak);
    FadeEdges(song, 0.002);
    return song;
}

bool WriteSound(const std::filesystem::path& folder, const char* const name, const TSignal& signal)
{
    const std::filesystem::path path = folder / name;
    if (WavFile::Write(path.string(), SampleRate, ToPcm(signal)))
        return true;
    std::fprintf(stderr, "make_sounds: cannot write %s\n", path.string().c_str());
    return false;
}

} // namespace

int main(const int argc, const char* const argv[])
{
    if (argc != 2)
    {
        std::fprintf(stderr, "usage: make_sounds <output folder>\n");
        return 2;
    }
    const std::filesystem::path folder = argv[1];
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    const bool written = WriteSound(folder, "star.wav", Star()) && WriteSound(folder, "wow.wav", Wow()) &&
                         WriteSound(folder, "comeon.wav", ComeOn()) && WriteSound(folder, "amamaison.wav", Amamaison());
    return written ? 0 : 1;
}
