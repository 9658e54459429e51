#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <functional>
#include <limits>
#include <string>
#include <vector>

// Deterministic test material shared by the suites: every signal is a pure function of
// its parameters, so a failure reproduces exactly.
namespace testsignals
{
struct Stereo
{
    std::vector<double> left, right;
    size_t size() const { return left.size(); }
};

// A small, fixed pseudo-random generator (not std's distributions, whose output may
// differ between library versions).
struct Random
{
    uint64_t state;
    explicit Random (uint64_t seed) : state (seed * 6364136223846793005ull + 1442695040888963407ull) {}
    double next() // uniform in [-1, 1)
    {
        state = state * 6364136223846793005ull + 1442695040888963407ull;
        return (double) (state >> 11) / (double) (1ull << 52) - 1.0;
    }
};

inline Stereo sine (double rate, double frequency, double amplitude, size_t frames, double phaseR = 0.3)
{
    Stereo s;
    for (size_t i = 0; i < frames; ++i)
    {
        const double t = (double) i / rate;
        s.left.push_back (amplitude * std::sin (2.0 * M_PI * frequency * t));
        s.right.push_back (amplitude * std::sin (2.0 * M_PI * frequency * t + phaseR));
    }
    return s;
}

inline Stereo noise (double amplitude, size_t frames, uint64_t seed)
{
    Random random (seed);
    Stereo s;
    for (size_t i = 0; i < frames; ++i)
    {
        s.left.push_back (amplitude * random.next());
        s.right.push_back (amplitude * random.next());
    }
    return s;
}

// Pink-ish noise with percussive bursts: peaks well above a typical ceiling, the way a
// loud mix arrives at a limiter.
inline Stereo music (double rate, size_t frames, uint64_t seed, double peak = 2.0)
{
    Random random (seed);
    Stereo s;
    double b0 = 0, b1 = 0, b2 = 0, c0 = 0, c1 = 0, c2 = 0;
    const size_t beat = (size_t) (rate * 0.25);
    for (size_t i = 0; i < frames; ++i)
    {
        const double wl = random.next(), wr = random.next();
        b0 = 0.99765 * b0 + wl * 0.0990460;
        b1 = 0.96300 * b1 + wl * 0.2965164;
        b2 = 0.57000 * b2 + wl * 1.0526913;
        c0 = 0.99765 * c0 + wr * 0.0990460;
        c1 = 0.96300 * c1 + wr * 0.2965164;
        c2 = 0.57000 * c2 + wr * 1.0526913;
        const double phase = (double) (i % beat) / rate;
        const double burst = std::exp (-phase * 30.0) * std::sin (2.0 * M_PI * 60.0 * phase);
        s.left.push_back (0.12 * peak * (b0 + b1 + b2 + wl * 0.1848) + 0.6 * peak * burst);
        s.right.push_back (0.12 * peak * (c0 + c1 + c2 + wr * 0.1848) + 0.55 * peak * burst);
    }
    return s;
}

inline Stereo square (double rate, double frequency, double amplitude, size_t frames)
{
    Stereo s;
    for (size_t i = 0; i < frames; ++i)
    {
        const double cycle = std::fmod ((double) i * frequency / rate, 1.0);
        const double v = cycle < 0.5 ? amplitude : -amplitude;
        s.left.push_back (v);
        s.right.push_back (-v * 0.8);
    }
    return s;
}

// Isolated clicks and steps separated by silence and exact zeros.
inline Stereo transients (double rate, size_t frames)
{
    Stereo s (sine (rate, 440.0, 0.2, frames));
    const size_t spacing = (size_t) (rate * 0.05);
    for (size_t i = 0; i < frames; ++i)
    {
        const size_t k = i % spacing;
        if (k < 3)
        {
            s.left[i] = k == 1 ? 0.0 : (k == 0 ? 1.8 : -1.6);
            s.right[i] = k == 1 ? -0.0 : (k == 0 ? -1.2 : 1.9);
        }
        else if (i / spacing % 4 == 3)
        {
            s.left[i] = 0.0;
        }
    }
    return s;
}

// Finite material with NaN, infinities, subnormals and huge values sprinkled in.
inline Stereo hostile (double rate, size_t frames)
{
    Stereo s (sine (rate, 997.0, 1.4, frames));
    const double specials[] = { std::numeric_limits<double>::quiet_NaN(),
                                std::numeric_limits<double>::infinity(),
                                -std::numeric_limits<double>::infinity(),
                                std::numeric_limits<double>::denorm_min(),
                                -4.9e-310,
                                1.0e300,
                                -1.0e300,
                                0.0 };
    for (size_t i = 0, k = 0; i < frames; i += 257, ++k)
    {
        s.left[i] = specials[k % 8];
        s.right[(i * 7) % frames] = specials[(k + 3) % 8];
    }
    return s;
}

inline Stereo subnormalTail (double rate, size_t frames)
{
    Stereo s (sine (rate, 200.0, 1.5, frames));
    for (size_t i = frames / 3; i < frames; ++i)
    {
        s.left[i] = s.left[i] * 1.0e-310;
        s.right[i] = s.right[i] * 1.0e-312;
    }
    return s;
}

// A sine whose amplitude moves cycle by cycle through points just around the ceilings the
// oracle comparison uses, so that the soft knee of the gain curve is entered from both sides.
inline Stereo kneeSweep (double rate, size_t frames)
{
    const double ceilings[] = { -0.1, -1.0, -6.0, 0.0, -3.37 };
    const double offsets[] = { -0.08, -0.05, -0.03, -0.01, 0.0, 0.01, 0.03, 0.05, 0.08 };
    const double frequency = std::min (500.0, rate / 16.0);
    Stereo s;
    for (size_t i = 0; i < frames; ++i)
    {
        const double phase = (double) i * frequency / rate;
        const size_t cycle = (size_t) phase;
        const double db = ceilings[cycle % 5] + offsets[(cycle / 5) % 9];
        const double amplitude = std::pow (10.0, db / 20.0);
        s.left.push_back (amplitude * std::sin (2.0 * M_PI * phase));
        s.right.push_back (amplitude * std::sin (2.0 * M_PI * phase + 0.7));
    }
    return s;
}

struct Named
{
    std::string name;
    std::function<Stereo (double rate, size_t frames)> make;
};

// The table of material every bit-exactness check runs over.
inline std::vector<Named> table()
{
    return {
        { "sine_near_nyquist", [] (double r, size_t n) { return sine (r, r * 0.49, 1.3, n); } },
        { "sine_10k_full_scale", [] (double r, size_t n) { return sine (r, std::min (10000.0, r * 0.45), 1.0, n); } },
        { "sine_below_16Hz", [] (double r, size_t n) { return sine (r, 12.0, 1.2, n); } },
        { "sine_1k_quiet", [] (double r, size_t n) { return sine (r, 1000.0, 0.3, n); } },
        { "noise_loud", [] (double, size_t n) { return noise (1.5, n, 7); } },
        { "music", [] (double r, size_t n) { return music (r, n, 11); } },
        { "transients", [] (double r, size_t n) { return transients (r, n); } },
        { "square", [] (double r, size_t n) { return square (r, 110.0, 1.1, n); } },
        { "silence", [] (double, size_t n) { return Stereo { std::vector<double> (n, 0.0), std::vector<double> (n, 0.0) }; } },
        { "hostile", [] (double r, size_t n) { return hostile (r, n); } },
        { "subnormals", [] (double r, size_t n) { return subnormalTail (r, n); } },
        { "knee_sweep", [] (double r, size_t n) { return kneeSweep (r, n); } },
    };
}
} // namespace testsignals
