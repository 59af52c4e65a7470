#pragma once

#include <cstdint>
#include <functional>
#include <vector>

// Small deterministic synthesiser: every voice starts and ends at zero so that
// mixing never clicks, and the same build always produces the same samples.
namespace Synth
{

constexpr int SampleRate = 22050;

using TSignal = std::vector<double>;

std::size_t SampleCount(double seconds);
double Seconds(std::size_t sample);
double MidiFrequency(double note);

// 0 before edge0, 1 after edge1, a smooth S-curve between.
double Smoothstep(double edge0, double edge1, double x);
// `from` until startTime, `to` after endTime, a smooth move between.
double Glide(double from, double to, double startTime, double endTime, double t);
// Smooth rise over `attack` and fall over the last `release` of `length`.
double Gate(double t, double length, double attack, double release);

// White noise in -1..1 from a fixed seed.
class TNoise
{
public:
    explicit TNoise(std::uint32_t seed) : FState(seed) {}
    double Next();

private:
    std::uint32_t FState;
};

class TLowPass
{
public:
    explicit TLowPass(double cutoff);
    double Process(double input);

private:
    const double FCoefficient;
    double FState = 0.0;
};

void MixInto(TSignal& target, const TSignal& source, double startSeconds, double gain);
void Normalize(TSignal& signal, double peak);
void FadeEdges(TSignal& signal, double seconds);
std::vector<std::int16_t> ToPcm(const TSignal& signal);

// A struck bell: a few partials, the higher ones dying sooner.
TSignal Bell(double frequency, double seconds, double decay);
// A chip-style square note (band-limited) with a soft tone and an optional
// delayed vibrato, depth in semitones.
TSignal Pulse(double frequency, double duty, double seconds, double vibratoDepth);
TSignal Triangle(double frequency, double seconds);
TSignal Kick();
TSignal Snare(TNoise& noise);
TSignal HiHat(TNoise& noise);
// Noise through a resonance around `centre`, as for a "k".
TSignal NoiseBurst(TNoise& noise, double seconds, double centre);

struct TFormants
{
    double F1, F2, F3;
};

TFormants Mix(const TFormants& from, const TFormants& to, double amount);

struct TVoiceFrame
{
    double Pitch;
    TFormants Formants;
    double Loudness;
};

// A voiced sound built from the harmonics of its pitch, each weighted by the
// vowel's resonances, so that pitch and vowel can move freely.
TSignal Voice(double seconds, const std::function<TVoiceFrame(double)>& frameAt);

} // namespace Synth
