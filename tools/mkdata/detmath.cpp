#include "mkdata/detmath.h"

#include <cmath>

namespace detmath {

double Sine(double x) {
    // Reduce to [-pi, pi], then fold into [-pi/2, pi/2] where the series converges fast.
    double turns = std::floor(x / kTwoPi + 0.5);
    double r = x - turns * kTwoPi;
    if (r > kPi / 2)
        r = kPi - r;
    else if (r < -kPi / 2)
        r = -kPi - r;
    double r2 = r * r;
    // Taylor series up to r^17, evaluated from the smallest term up.
    double sum = 1.0;
    for (int k = 17; k >= 3; k -= 2)
        sum = 1.0 - sum * r2 / (double(k) * double(k - 1));
    return r * sum;
}

double Exp(double x) {
    constexpr double kLn2 = 0.69314718055994530942;
    if (x < -700.0)
        return 0.0;
    if (x > 700.0)
        x = 700.0;
    double k = std::floor(x / kLn2 + 0.5);
    double r = x - k * kLn2; // |r| <= ln2 / 2
    double sum = 1.0;
    for (int n = 16; n >= 1; --n)
        sum = 1.0 + sum * r / double(n);
    return std::ldexp(sum, int(k));
}

double Exp2(double x) {
    constexpr double kLn2 = 0.69314718055994530942;
    return Exp(x * kLn2);
}

double Log(double x) {
    constexpr double kLn2 = 0.69314718055994530942;
    if (!(x > 0))
        return -1e300;
    int exponent = 0;
    double mantissa = std::frexp(x, &exponent); // x = mantissa * 2^exponent, mantissa in [0.5, 1)
    double y = double(exponent) * kLn2 + (mantissa - 1.0);
    for (int i = 0; i < 6; ++i) {
        double e = Exp(y);
        y += 2.0 * (x - e) / (x + e);
    }
    return y;
}

int64_t RoundToInt(double x) {
    return x >= 0 ? int64_t(std::floor(x + 0.5)) : -int64_t(std::floor(-x + 0.5));
}

uint32_t Noise::NextBits() {
    state_ ^= state_ << 13;
    state_ ^= state_ >> 17;
    state_ ^= state_ << 5;
    return state_;
}

double Noise::NextSigned() {
    return double(NextBits()) / 2147483648.0 - 1.0;
}

} // namespace detmath
