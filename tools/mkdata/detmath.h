// Arithmetic that gives the same bits on every machine, for generated data.
//
// The platform's sin and exp may differ in their last bits between C libraries, which would
// change the generated files. These use only +, -, *, / and floor, which IEEE 754 rounds the
// same way everywhere (the build forbids fused multiply-add and fast math).
#pragma once

#include <cstdint>

namespace detmath {

constexpr double kPi = 3.14159265358979323846;
constexpr double kTwoPi = 6.28318530717958647692;

// sin(x) to about 1e-15 for |x| up to a few thousand.
double Sine(double x);

// exp(x) to about 1e-15 relative, for x in -700..700.
double Exp(double x);

// 2^(x), through Exp.
double Exp2(double x);

// Natural logarithm of x > 0 (Newton steps on Exp from a binary-exponent estimate).
double Log(double x);

// Rounds to the nearest integer, halves away from zero.
int64_t RoundToInt(double x);

// A fixed-seed xorshift generator: the same sequence on every run and machine.
class Noise {
  public:
    explicit Noise(uint32_t seed) : state_(seed ? seed : 0x9E3779B9u) {}
    // The next 32 random bits.
    uint32_t NextBits();
    // A value in [-1, 1).
    double NextSigned();

  private:
    uint32_t state_;
};

} // namespace detmath
