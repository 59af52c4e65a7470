#include "Synth.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace Synth
{

namespace
{

constexpr double TwoPi = 2.0 * std::numbers::pi;
// Harmonics fade out below the Nyquist limit instead of vanishing at once.
constexpr double HarmonicCeiling = 0.45 * SampleRate;
constexpr double HarmonicFadeWidth = 1500.0;

double Advance(double phase, const double frequency)
{
    phase += frequency / SampleRate;
    return phase - std::floor(phase);
}

// Correction that rounds off a square wave's jumps so they do not alias.
double PolyBlep(double t, const double dt)
{
    if (t < dt)
    {
        t /= dt;
        return t + t - t * t - 1.0;
    }
    if (t > 1.0 - dt)
    {
        t = (t - 1.0) / dt;
        return t * t + t + t + 1.0;
    }
    return 0.0;
}

double BandLimitedPulse(const double phase, const double duty, const double dt)
{
    double value = phase < duty ? 1.0 : -1.0;
    value += PolyBlep(phase, dt);
    value -= PolyBlep(std::fmod(phase + 1.0 - duty, 1.0), dt);
    // A narrow pulse is not centred on zero.
    return value - (2.0 * duty - 1.0);
}

double Resonance(const double frequency, const TFormants& formants)
{
    const auto peak = [frequency](const double centre, const double width, const double gain)
    {
        const double distance = (frequency - centre) / width;
        return gain / (1.0 + distance * distance);
    };
    return 0.02 + peak(formants.F1, 90.0, 1.0) + peak(formants.F2, 120.0, 0.6) + peak(formants.F3, 180.0, 0.25);
}

} // namespace

std::size_t SampleCount(const double seconds)
{
    return static_cast<std::size_t>(std::lround(std::max(0.0, seconds) * SampleRate));
}

double Seconds(const std::size_t sample)
{
    return static_cast<double>(sample) / SampleRate;
}

double MidiFrequency(const double note)
{
    return 440.0 * std::pow(2.0, (note - 69.0) / 12.0);
}

double Smoothstep(const double edge0, const double edge1, const double x)
{
    const double t = std::clamp((x - edge0) / (edge1 - edge0), 0.0, 1.0);
    return t * t * (3.0 - 2.0 * t);
}

double Glide(const double from, const double to, const double startTime, const double endTime, const double t)
{
    return from + (to - from) * Smoothstep(startTime, endTime, t);
}

double Gate(const double t, const double length, const double attack, const double release)
{
    return Smoothstep(0.0, attack, t) * (1.0 - Smoothstep(length - release, length, t));
}

double TNoise::Next()
{
    FState ^= FState << 13;
    FState ^= FState >> 17;
    FState ^= FState << 5;
    return FState / 2147483648.0 - 1.0;
}

TLowPass::TLowPass(const double cutoff) : FCoefficient(1.0 - std::exp(-TwoPi * cutoff / SampleRate)) {}

double TLowPass::Process(const double input)
{
    FState += FCoefficient * (input - FState);
    return FState;
}

void MixInto(TSignal& target, const TSignal& source, const double startSeconds, const double gain)
{
    const std::size_t start = SampleCount(startSeconds);
    if (target.size() < start + source.size())
        target.resize(start + source.size(), 0.0);
    for (std::size_t i = 0; i < source.size(); ++i)
        target[start + i] += gain * source[i];
}

void Normalize(TSignal& signal, const double peak)
{
    double loudest = 0.0;
    for (const double sample : signal)
        loudest = std::max(loudest, std::abs(sample));
    if (loudest == 0.0)
        return;
    for (double& sample : signal)
        sample *= peak / loudest;
}

void FadeEdges(TSignal& signal, const double seconds)
{
    const double length = Seconds(signal.size());
    for (std::size_t i = 0; i < signal.size(); ++i)
        signal[i] *= Gate(Seconds(i), length, seconds, seconds);
}

std::vector<std::int16_t> ToPcm(const TSignal& signal)
{
    std::vector<std::int16_t> pcm(signal.size());
    for (std::size_t i = 0; i < signal.size(); ++i)
        pcm[i] = static_cast<std::int16_t>(std::clamp(std::lround(signal[i] * 32767.0), -32768L, 32767L));
    return pcm;
}

TSignal Bell(const double frequency, const double seconds, const double decay)
{
    struct TPartial
    {
        double Ratio, Gain, DecayScale;
    };
    // The slightly stretched fourth partial gives the shimmer of metal.
    constexpr TPartial partials[] = {{1.0, 1.0, 1.0}, {2.0, 0.35, 0.6}, {3.0, 0.15, 0.4}, {4.07, 0.08, 0.3}};
    TSignal out(SampleCount(seconds));
    for (std::size_t i = 0; i < out.size(); ++i)
    {
        const double t = Seconds(i);
        double value = 0.0;
        for (const TPartial& partial : partials)
        {
            const double partialFrequency = frequency * partial.Ratio;
            if (partialFrequency < HarmonicCeiling)
                value +=
                    partial.Gain * std::exp(-t / (decay * partial.DecayScale)) * std::sin(TwoPi * partialFrequency * t);
        }
        out[i] = value * Gate(t, seconds, 0.003, 0.05);
    }
    return out;
}

TSignal Pulse(const double frequency, const double duty, const double seconds, const double vibratoDepth)
{
    TSignal out(SampleCount(seconds));
    // Two stages, so that the square's upper harmonics roll off steeply.
    TLowPass tone(3500.0);
    TLowPass toneAgain(3500.0);
    double phase = 0.0;
    for (std::size_t i = 0; i < out.size(); ++i)
    {
        const double t = Seconds(i);
        const double vibrato = vibratoDepth * Smoothstep(0.12, 0.3, t) * std::sin(TwoPi * 5.5 * t);
        const double current = frequency * std::pow(2.0, vibrato / 12.0);
        const double level = 0.7 + 0.3 * std::exp(-t / 0.08);
        out[i] = toneAgain.Process(tone.Process(BandLimitedPulse(phase, duty, current / SampleRate))) * level *
                 Gate(t, seconds, 0.004, 0.03);
        phase = Advance(phase, current);
    }
    return out;
}

TSignal Triangle(const double frequency, const double seconds)
{
    TSignal out(SampleCount(seconds));
    double phase = 0.0;
    for (std::size_t i = 0; i < out.size(); ++i)
    {
        out[i] = (4.0 * std::abs(phase - 0.5) - 1.0) * Gate(Seconds(i), seconds, 0.004, 0.02);
        phase = Advance(phase, frequency);
    }
    return out;
}

TSignal Kick()
{
    constexpr double length = 0.25;
    TSignal out(SampleCount(length));
    double phase = 0.0;
    for (std::size_t i = 0; i < out.size(); ++i)
    {
        const double t = Seconds(i);
        out[i] = std::sin(TwoPi * phase) * std::exp(-t / 0.09) * Gate(t, length, 0.002, 0.04);
        phase = Advance(phase, 50.0 + 90.0 * std::exp(-t / 0.03));
    }
    return out;
}

TSignal Snare(TNoise& noise)
{
    constexpr double length = 0.18;
    TSignal out(SampleCount(length));
    TLowPass body(1500.0);
    TLowPass air(7000.0);
    for (std::size_t i = 0; i < out.size(); ++i)
    {
        const double t = Seconds(i);
        const double white = noise.Next();
        // Noise without its low end, and without its harshest top.
        const double rattle = air.Process(white - body.Process(white));
        const double drum = 0.5 * std::sin(TwoPi * 185.0 * t) * std::exp(-t / 0.04);
        out[i] = (rattle * std::exp(-t / 0.05) + drum) * Gate(t, length, 0.002, 0.04);
    }
    return out;
}

TSignal HiHat(TNoise& noise)
{
    constexpr double length = 0.05;
    TSignal out(SampleCount(length));
    double previous = 0.0;
    for (std::size_t i = 0; i < out.size(); ++i)
    {
        const double t = Seconds(i);
        const double white = noise.Next();
        out[i] = (white - previous) * 0.5 * std::exp(-t / 0.012) * Gate(t, length, 0.001, 0.01);
        previous = white;
    }
    return out;
}

TSignal NoiseBurst(TNoise& noise, const double seconds, const double centre)
{
    // Two-pole resonator: the noise rings at `centre`.
    const double radius = 0.97;
    const double feedback = 2.0 * radius * std::cos(TwoPi * centre / SampleRate);
    TSignal out(SampleCount(seconds));
    double y1 = 0.0;
    double y2 = 0.0;
    for (std::size_t i = 0; i < out.size(); ++i)
    {
        const double y = (1.0 - radius) * noise.Next() + feedback * y1 - radius * radius * y2;
        y2 = y1;
        y1 = y;
        out[i] = y * Gate(Seconds(i), seconds, 0.003, seconds * 0.6);
    }
    return out;
}

TFormants Mix(const TFormants& from, const TFormants& to, const double amount)
{
    const auto lerp = [amount](const double a, const double b) { return a + (b - a) * amount; };
    return {lerp(from.F1, to.F1), lerp(from.F2, to.F2), lerp(from.F3, to.F3)};
}

TSignal Voice(const double seconds, const std::function<TVoiceFrame(double)>& frameAt)
{
    TSignal out(SampleCount(seconds));
    double phase = 0.0;
    for (std::size_t i = 0; i < out.size(); ++i)
    {
        const TVoiceFrame frame = frameAt(Seconds(i));
        double value = 0.0;
        for (int k = 1; k * frame.Pitch < HarmonicCeiling; ++k)
        {
            const double frequency = k * frame.Pitch;
            const double nearCeiling = std::min(1.0, (HarmonicCeiling - frequency) / HarmonicFadeWidth);
            // Every harmonic's phase is a multiple of the fundamental's, so
            // one accumulated phase serves them all.
            value += nearCeiling * Resonance(frequency, frame.Formants) / k * std::sin(TwoPi * k * phase);
        }
        out[i] = value * frame.Loudness;
        phase = Advance(phase, frame.Pitch);
    }
    return out;
}

} // namespace Synth
