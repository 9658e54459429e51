#include "TruePeak.h"

#include <cmath>
#include <limits>

namespace orvan::render
{
namespace
{
constexpr int filterLength = PeakMeter::oversampling * PeakMeter::tapsPerPhase + 1;
constexpr int filterCentre = filterLength / 2;

double besselI0 (double x) noexcept
{
    double sum = 1.0, term = 1.0;
    for (int k = 1; k < 50; ++k)
    {
        term *= (x / (2.0 * k)) * (x / (2.0 * k));
        sum += term;
    }
    return sum;
}

// The interpolator: an ideal low-pass at the original Nyquist frequency, shaped by a
// Kaiser window. Taps that land on original sample positions are exactly 0 (1 at the
// centre), so phase 0 passes the samples through unchanged.
struct Filter
{
    double taps[filterLength];

    Filter() noexcept
    {
        constexpr double beta = 7.0;
        const double norm = besselI0 (beta);
        for (int n = 0; n < filterLength; ++n)
        {
            const int offset = n - filterCentre;
            if (offset % PeakMeter::oversampling == 0)
            {
                taps[n] = offset == 0 ? 1.0 : 0.0;
                continue;
            }
            const double x = M_PI * offset / PeakMeter::oversampling;
            const double r = (double) offset / filterCentre;
            taps[n] = std::sin (x) / x * besselI0 (beta * std::sqrt (1.0 - r * r)) / norm;
        }
        for (int p = 1; p < PeakMeter::oversampling; ++p)
            for (int m = 0; m < PeakMeter::tapsPerPhase; ++m)
                phases[p - 1][m] = taps[PeakMeter::oversampling * m + p];
    }

    double phases[PeakMeter::oversampling - 1][PeakMeter::tapsPerPhase];   // taps of phases 1 to 3
};

const Filter& filter()
{
    static const Filter instance;
    return instance;
}
} // namespace

double toDecibels (double magnitude) noexcept
{
    return magnitude > 0.0 ? 20.0 * std::log10 (magnitude) : -std::numeric_limits<double>::infinity();
}

PeakMeter::PeakMeter (int numChannels)
    : histories ((size_t) numChannels)
{
    filter();
}

void PeakMeter::add (int channel, float sample) noexcept
{
    const double value = sample;
    if (std::fabs (value) > samplePeakLinear)
        samplePeakLinear = std::fabs (value);
    step (histories[(size_t) channel], value);
}

void PeakMeter::step (History& history, double sample) noexcept
{
    history.newest = history.newest == 0 ? History::length - 1 : history.newest - 1;
    history.samples[(size_t) history.newest] = sample;
    history.samples[(size_t) (history.newest + History::length)] = sample;
    const double* s = history.samples.data() + history.newest;

    // Phase 0 is the sample itself. Phase p between the newest samples: tap 4m + p weighs
    // the sample m steps back. The three phases run side by side.
    const auto& h = filter().phases;
    double p1 = 0.0, p2 = 0.0, p3 = 0.0;
    for (int m = 0; m < tapsPerPhase; ++m)
    {
        p1 += h[0][m] * s[m];
        p2 += h[1][m] * s[m];
        p3 += h[2][m] * s[m];
    }
    double peak = std::fabs (sample);
    for (double v : { p1, p2, p3 })
        if (std::fabs (v) > peak)
            peak = std::fabs (v);
    if (peak > truePeakLinear)
        truePeakLinear = peak;
}

void PeakMeter::finish() noexcept
{
    if (finished)
        return;
    finished = true;
    for (auto& history : histories)
        for (int i = 0; i < tapsPerPhase + 1; ++i)
            step (history, 0.0);
}
} // namespace orvan::render
