#include "mkdata/synth.h"

#include "mkdata/detmath.h"
#include "base/process.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

using detmath::Exp;
using detmath::kPi;
using detmath::kTwoPi;
using detmath::Sine;

namespace {

int Frames(double seconds) {
    return int(detmath::RoundToInt(seconds * kSynthRate));
}

// Amplitude of harmonic h in a wave whose fundamental has amplitude about 1.
double HarmonicAmplitude(Wave wave, int h) {
    switch (wave) {
    case Wave::Saw:
        return 1.0 / h;
    case Wave::Square:
        return h % 2 ? 1.0 / h : 0.0;
    case Wave::Pulse25:
        return Sine(kPi * h * 0.25) * 1.4142135623730951 / h;
    case Wave::Triangle:
        return h % 2 ? ((h / 2) % 2 ? -1.0 : 1.0) / (double(h) * h) : 0.0;
    case Wave::Sine:
        return h == 1 ? 1.0 : 0.0;
    }
    return 0.0;
}

// Gain of a two-pole low-pass with corner `cutoff` and quality q at frequency f.
double LowPassGain(double f, double cutoff, double q) {
    double x = f / cutoff;
    double a = 1.0 - x * x;
    return 1.0 / std::sqrt(a * a + (x / q) * (x / q));
}

// A soft saturator: tanh-like, exactly +-1 beyond |x| = 3.
double SoftClip(double x) {
    if (x > 3.0)
        return 1.0;
    if (x < -3.0)
        return -1.0;
    return x * (27.0 + x * x) / (27.0 + 9.0 * x * x);
}

// Two-pole state-variable filter in its trapezoidal form, stable for any corner below Nyquist.
class StateVariableFilter {
  public:
    struct Outputs {
        double low, band, high;
    };
    void SetCorner(double hz, double q) {
        double w = kPi * hz / kSynthRate;
        double g = Sine(w) / Sine(w + kPi / 2);
        k_ = 1.0 / q;
        a1_ = 1.0 / (1.0 + g * (g + k_));
        a2_ = g * a1_;
        a3_ = g * a2_;
    }
    Outputs Run(double input) {
        double v3 = input - ic2_;
        double v1 = a1_ * ic1_ + a2_ * v3;
        double v2 = ic2_ + a2_ * ic1_ + a3_ * v3;
        ic1_ = 2.0 * v1 - ic1_;
        ic2_ = 2.0 * v2 - ic2_;
        return {v2, v1, input - k_ * v1 - v2};
    }

  private:
    double k_ = 1, a1_ = 0, a2_ = 0, a3_ = 0, ic1_ = 0, ic2_ = 0;
};

// Removes DC and sub-bass rumble: a one-pole high-pass at `hz`.
void BlockDC(std::vector<double>& frames, double hz) {
    const double a = Exp(-kTwoPi * hz / kSynthRate);
    double previousIn = 0, previousOut = 0;
    for (double& x : frames) {
        double y = x - previousIn + a * previousOut;
        previousIn = x;
        previousOut = y;
        x = y;
    }
}

// Ramps the first and last frames so the sample starts and ends at silence.
void FadeEdges(std::vector<double>& frames, double inSeconds, double outSeconds) {
    const int in = std::min(int(frames.size()), Frames(inSeconds));
    const int out = std::min(int(frames.size()), Frames(outSeconds));
    for (int i = 0; i < in; ++i)
        frames[size_t(i)] *= double(i) / in;
    for (int i = 0; i < out; ++i)
        frames[frames.size() - 1 - size_t(i)] *= double(i) / out;
}

// A bank of square waves at inharmonic frequencies: the metallic ring of cymbals.
class MetalBank {
  public:
    explicit MetalBank(std::vector<double> hz) : hz_(std::move(hz)), phase_(hz_.size(), 0.0) {}
    double Next() {
        double sum = 0;
        for (size_t i = 0; i < hz_.size(); ++i) {
            phase_[i] += hz_[i] / kSynthRate;
            phase_[i] -= std::floor(phase_[i]);
            sum += phase_[i] < 0.5 ? 1.0 : -1.0;
        }
        return sum / double(hz_.size());
    }

  private:
    std::vector<double> hz_;
    std::vector<double> phase_;
};

XmInstrument OneShot(const char* name, std::vector<int16_t> frames, int panning) {
    XmInstrument instrument;
    instrument.name = name;
    instrument.sample.name = name;
    instrument.sample.frames = std::move(frames);
    instrument.sample.relativeNote = kSynthRelativeNote;
    instrument.sample.panning = panning;
    return instrument;
}

XmInstrument Looped(const char* name, const ToneRecipe& recipe, XmEnvelope envelope, int fadeout) {
    XmInstrument instrument;
    instrument.name = name;
    instrument.sample.name = name;
    int loopStart = 0, loopLength = 0;
    instrument.sample.frames = SynthesizeTone(recipe, &loopStart, &loopLength);
    instrument.sample.loop = XmLoop::Forward;
    instrument.sample.loopStart = loopStart;
    instrument.sample.loopLength = loopLength;
    instrument.sample.relativeNote = kSynthRelativeNote;
    instrument.volumeEnvelope = std::move(envelope);
    instrument.fadeout = fadeout;
    return instrument;
}

// Cymbal-like noise: white noise and a metal bank through a band around `centreHz`.
std::vector<double> Cymbal(double seconds, double decaySeconds, double centreHz, double q,
                           double metalShare, std::vector<double> metalHz, uint32_t seed) {
    detmath::Noise noise(seed);
    MetalBank metal(std::move(metalHz));
    StateVariableFilter band, high;
    band.SetCorner(centreHz, q);
    high.SetCorner(centreHz * 0.6, 0.7);
    std::vector<double> out(size_t(Frames(seconds)));
    for (size_t n = 0; n < out.size(); ++n) {
        double t = double(n) / kSynthRate;
        double source = (1.0 - metalShare) * noise.NextSigned() + metalShare * metal.Next();
        double shaped = band.Run(source).band + 0.6 * high.Run(source).high;
        out[n] = shaped * Exp(-t / decaySeconds);
    }
    BlockDC(out, 40.0);
    FadeEdges(out, 0.0005, std::min(0.2, seconds * 0.3));
    return out;
}

} // namespace

std::vector<int16_t> NormalizeTo16(const std::vector<double>& frames, double peak) {
    double loudest = 0;
    for (double x : frames)
        loudest = std::max(loudest, std::fabs(x));
    std::vector<int16_t> out(frames.size());
    if (loudest == 0)
        return out;
    const double scale = peak * 32767.0 / loudest;
    for (size_t i = 0; i < frames.size(); ++i)
        out[i] = int16_t(detmath::RoundToInt(frames[i] * scale));
    return out;
}

std::vector<int16_t> SynthesizeTone(const ToneRecipe& recipe, int* loopStart, int* loopLength) {
    const int loopFrames = kLoopUnitFrames * recipe.loopUnits;
    const int baseCycles = kLoopUnitCycles * recipe.loopUnits;
    const int attackFrames = recipe.attackSeconds > 0 ? Frames(recipe.attackSeconds) : 0;
    const int total = attackFrames + loopFrames;

    // One period of a sine over the loop: partial k of the loop reads entry (k * n) mod N.
    std::vector<double> table(static_cast<size_t>(loopFrames));
    for (int i = 0; i < loopFrames; ++i)
        table[size_t(i)] = Sine(kTwoPi * i / loopFrames);

    // Corner of the low-pass over the attack: from attackCutoffHz, falling exponentially-ish
    // to the steady corner, which it meets exactly where the loop starts.
    std::vector<double> cutoff(static_cast<size_t>(attackFrames));
    if (attackFrames > 0) {
        const double logRatio = detmath::Log(recipe.attackCutoffHz / recipe.steadyCutoffHz);
        for (int n = 0; n < attackFrames; ++n) {
            double rest = 1.0 - double(n) / attackFrames;
            cutoff[size_t(n)] = recipe.steadyCutoffHz * Exp(logRatio * rest * rest);
        }
    }

    std::vector<double> out(static_cast<size_t>(total), 0.0);
    for (size_t o = 0; o < recipe.oscillators.size(); ++o) {
        const Oscillator& osc = recipe.oscillators[o];
        long long cycles = baseCycles;
        if (osc.octave > 0)
            cycles <<= osc.octave;
        if (osc.octave < 0) {
            if (baseCycles % (1 << -osc.octave) != 0)
                FatalError("synth: an octave-down oscillator needs an even cycle count");
            cycles >>= -osc.octave;
        }
        cycles += osc.detuneCycles;
        const double hz = double(cycles) * kSynthRate / loopFrames;
        // Oscillators start a fixed odd fraction of the loop apart so they do not add up in phase.
        const long long shift = (long long)(o * 7919u) % loopFrames;
        for (int h = 1; double(h) * hz <= recipe.highestPartialHz; ++h) {
            const double waveAmp = osc.level * HarmonicAmplitude(osc.wave, h);
            if (waveAmp == 0)
                continue;
            const double partialHz = h * hz;
            const double steadyAmp =
                waveAmp * LowPassGain(partialHz, recipe.steadyCutoffHz, recipe.resonance);
            const long long step = (long long)h * cycles % loopFrames;
            long long index = step * shift % loopFrames;
            for (int n = 0; n < total; ++n) {
                double amp = n < attackFrames ? waveAmp * LowPassGain(partialHz, cutoff[size_t(n)],
                                                                      recipe.resonance)
                                              : steadyAmp;
                out[size_t(n)] += amp * table[size_t(index)];
                index += step;
                if (index >= loopFrames)
                    index -= loopFrames;
            }
        }
    }
    *loopStart = attackFrames;
    *loopLength = loopFrames;
    return NormalizeTo16(out, 0.9);
}

XmInstrument MakeKick() {
    detmath::Noise noise(0x4B1C);
    std::vector<double> out(size_t(Frames(0.42)));
    double phase = 0, click = 0;
    for (size_t n = 0; n < out.size(); ++n) {
        double t = double(n) / kSynthRate;
        // The pitch falls fast from a knock to a low boom.
        double hz = 46.0 + 110.0 * Exp(-t / 0.032) + 260.0 * Exp(-t / 0.0045);
        double body = Sine(phase) * Exp(-t / 0.26);
        click += 0.35 * (noise.NextSigned() - click);
        out[n] = SoftClip(1.6 * (body + 0.3 * click * Exp(-t / 0.0025)));
        phase += kTwoPi * hz / kSynthRate;
    }
    BlockDC(out, 18.0);
    FadeEdges(out, 0.0005, 0.04);
    return OneShot("kick", NormalizeTo16(out, 0.95), 128);
}

XmInstrument MakeSnare() {
    detmath::Noise noise(0x5A4E);
    StateVariableFilter filter;
    filter.SetCorner(1800.0, 0.6);
    std::vector<double> out(size_t(Frames(0.32)));
    double phase1 = 0, phase2 = 0;
    for (size_t n = 0; n < out.size(); ++n) {
        double t = double(n) / kSynthRate;
        double tone = 0.55 * Sine(phase1) * Exp(-t / 0.055) + 0.25 * Sine(phase2) * Exp(-t / 0.035);
        double hiss = filter.Run(noise.NextSigned()).high * 0.9 * Exp(-t / 0.10);
        out[n] = SoftClip(1.3 * (tone + hiss));
        phase1 += kTwoPi * (185.0 + 70.0 * Exp(-t / 0.012)) / kSynthRate;
        phase2 += kTwoPi * 330.0 / kSynthRate;
    }
    BlockDC(out, 40.0);
    FadeEdges(out, 0.0005, 0.03);
    return OneShot("snare", NormalizeTo16(out, 0.95), 124);
}

namespace {
const std::vector<double> kHatMetal = {821.2, 1217.6, 1478.4, 2090.8, 2160.0, 3200.0};
}

XmInstrument MakeClosedHat() {
    auto out = Cymbal(0.11, 0.022, 9000.0, 1.2, 0.5, kHatMetal, 0xC105);
    return OneShot("closed hat", NormalizeTo16(out, 0.9), 150);
}

XmInstrument MakeOpenHat() {
    auto out = Cymbal(0.6, 0.16, 8500.0, 1.0, 0.5, kHatMetal, 0x09E2);
    return OneShot("open hat", NormalizeTo16(out, 0.9), 150);
}

XmInstrument MakeCrash() {
    auto out =
        Cymbal(2.4, 0.7, 6500.0, 0.6, 0.35, {533.0, 741.0, 1031.0, 1437.0, 1962.0, 2797.0}, 0xC7A5);
    return OneShot("crash", NormalizeTo16(out, 0.9), 108);
}

XmInstrument MakeSweep() {
    // Noise through a band that climbs from 300 Hz to 10 kHz, growing louder: a riser.
    detmath::Noise noise(0x5EE9);
    StateVariableFilter band;
    const double seconds = 3.4;
    const double logRange = detmath::Log(10000.0 / 300.0);
    std::vector<double> out(size_t(Frames(seconds)));
    for (size_t n = 0; n < out.size(); ++n) {
        double u = double(n) / double(out.size());
        band.SetCorner(300.0 * Exp(logRange * u), 2.5);
        out[n] = band.Run(noise.NextSigned()).band * (0.15 + 0.85 * u * std::sqrt(u));
    }
    BlockDC(out, 40.0);
    FadeEdges(out, 0.01, 0.03);
    return OneShot("sweep", NormalizeTo16(out, 0.9), 128);
}

XmInstrument MakeBass() {
    ToneRecipe recipe;
    recipe.loopUnits = 8;
    recipe.oscillators = {{Wave::Saw, 1.0}, {Wave::Square, 0.45}};
    recipe.steadyCutoffHz = 2000;
    recipe.resonance = 1.6;
    recipe.attackSeconds = 0.2;
    recipe.attackCutoffHz = 9000;
    recipe.highestPartialHz = 12000;
    XmEnvelope envelope;
    envelope.points = {{0, 64}, {3, 58}, {14, 46}};
    envelope.sustainPoint = 2;
    return Looped("bass", recipe, envelope, 0xC00);
}

XmInstrument MakePad() {
    ToneRecipe recipe;
    recipe.loopUnits = 41; // one cycle of detune is 6 cents
    recipe.oscillators = {{Wave::Saw, 0.55, 0, -2}, {Wave::Saw, 0.8, 0, -1},
                          {Wave::Saw, 1.0, 0, 0},   {Wave::Saw, 0.8, 0, 1},
                          {Wave::Saw, 0.55, 0, 2},  {Wave::Saw, 0.25, 1, 1}};
    recipe.steadyCutoffHz = 2800;
    recipe.resonance = 0.8;
    recipe.highestPartialHz = 10000;
    XmEnvelope envelope;
    envelope.points = {{0, 0}, {6, 48}, {16, 64}};
    envelope.sustainPoint = 2;
    return Looped("pad", recipe, envelope, 0x180);
}

XmInstrument MakePluck() {
    ToneRecipe recipe;
    recipe.loopUnits = 8;
    recipe.oscillators = {{Wave::Pulse25, 1.0}, {Wave::Saw, 0.35}};
    recipe.steadyCutoffHz = 1700;
    recipe.resonance = 3.0;
    recipe.attackSeconds = 0.2;
    recipe.attackCutoffHz = 11000;
    recipe.highestPartialHz = 13000;
    XmEnvelope envelope;
    envelope.points = {{0, 64}, {4, 44}, {12, 26}, {40, 14}, {120, 6}};
    return Looped("pluck", recipe, envelope, 0x800);
}

XmInstrument MakeLead() {
    ToneRecipe recipe;
    recipe.loopUnits = 31; // one cycle of detune is 8 cents
    recipe.oscillators = {
        {Wave::Saw, 1.0, 0, 0}, {Wave::Saw, 0.75, 0, 1}, {Wave::Square, 0.45, 0, -1}};
    recipe.steadyCutoffHz = 5500;
    recipe.resonance = 1.0;
    recipe.attackSeconds = 0.05;
    recipe.attackCutoffHz = 9000;
    recipe.highestPartialHz = 11000;
    XmEnvelope envelope;
    envelope.points = {{0, 0}, {1, 64}, {8, 54}};
    envelope.sustainPoint = 2;
    XmInstrument lead = Looped("lead", recipe, envelope, 0x600);
    lead.vibrato = {0, 64, 3, 18}; // a gentle vibrato that grows on long notes
    return lead;
}
