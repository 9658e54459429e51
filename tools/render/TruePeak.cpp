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
    }
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
    samplePeakLinear = std::fmax (samplePeakLinear, std::fabs (value));
    step (histories[(size_t) channel], value);
}

void PeakMeter::step (History& history, double sample) noexcept
{
    auto& s = history.samples;
    for (size_t i = s.size() - 1; i > 0; --i)
        s[i] = s[i - 1];
    s[0] = sample;

    // Output phase p between the newest samples: tap 4m + p weighs the sample m steps back.
    const auto& h = filter().taps;
    for (int p = 0; p < oversampling; ++p)
    {
        double sum = 0.0;
        for (int m = 0; oversampling * m + p < filterLength; ++m)
            sum += h[oversampling * m + p] * s[(size_t) m];
        truePeakLinear = std::fmax (truePeakLinear, std::fabs (sum));
    }
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
