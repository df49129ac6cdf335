// The instruments of the music, synthesised from nothing but arithmetic.
//
// Every sample is 16-bit mono, made at kSynthRate frames per second and stored with relative
// note +24 and finetune 0, which is exactly the rate a player uses for C-4 (8363 Hz x 4). So a
// sample plays at its made pitch on C-4: pitched instruments are made as middle C (261.6 Hz).
//
// Pitched sounds are sums of sine partials whose cycle counts are whole numbers over the loop
// (loop = 895 x units frames, middle C = 7 x units cycles, 0.08 cent sharp), so the end of the
// loop joins its start without a step and every partial is free of DC. An optional attack part
// before the loop moves the timbre from bright to the steady loop colour, meeting the loop with
// the same partial amplitudes. Drums are one-shot samples that start and end at zero and pass a
// DC-blocking filter.
#pragma once

#include "mkdata/xm_writer.h"

#include <vector>

constexpr int kSynthRelativeNote = 24;
constexpr double kSynthRate = 33452.0; // 8363 * 2^(24/12)

// The frames of one loop unit and the cycles of middle C in it.
constexpr int kLoopUnitFrames = 895;
constexpr int kLoopUnitCycles = 7;

enum class Wave { Saw, Square, Pulse25, Triangle, Sine };

// One oscillator of a pitched tone: its wave, octave and detune in whole cycles per loop.
struct Oscillator {
    Wave wave;
    double level;
    int octave = 0;       // 0 middle C, 1 an octave up, -1 down (needs an even cycle count)
    int detuneCycles = 0; // cycles per loop added; one cycle = 1200 / (7 x units x ln 2) cents
};

// The recipe of a looped pitched sample.
struct ToneRecipe {
    int loopUnits; // loop length in units of 895 frames
    std::vector<Oscillator> oscillators;
    double steadyCutoffHz;           // low-pass corner of the loop's timbre, at C-4
    double resonance = 0.7;          // Q of the two-pole low-pass shape
    double attackSeconds = 0;        // length of the bright attack before the loop
    double attackCutoffHz = 0;       // corner at the very start of the attack
    double highestPartialHz = 12000; // partials above this are left out (no aliasing)
};

// The sample frames of a pitched tone: attack frames, then the loop (whose start is returned).
std::vector<int16_t> SynthesizeTone(const ToneRecipe& recipe, int* loopStart, int* loopLength);

// The instruments, each a finished XM instrument with its sample, envelope and default volume.
XmInstrument MakeKick();
XmInstrument MakeSnare();
XmInstrument MakeClosedHat();
XmInstrument MakeOpenHat();
XmInstrument MakeCrash();
XmInstrument MakeSweep();
XmInstrument MakeBass();
XmInstrument MakePad();
XmInstrument MakePluck();
XmInstrument MakeLead();

// Scales float frames (any range) so that the loudest is `peak` of full scale, rounded to 16 bits.
std::vector<int16_t> NormalizeTo16(const std::vector<double>& frames, double peak);
