#include "DSP.h"

#include <climits>
#include <cmath>

namespace
{
constexpr double ln10 = 2.302585092994046;
constexpr double pi = 3.141592653589793;
constexpr double attackTime = 0.00001;     // ms: the exponent underflows, so the attack is instant
constexpr double kneeAttackTime = 0.00002; // ms: used inside the knee while the curve output rises
constexpr double silenceDb = -160.0;       // level given to an exact zero

// Keeps zeros, subnormals, infinities and NaNs out of everything the envelope stores.
inline double flush (double v) noexcept
{
    return std::isnormal (v) ? v : 0.0;
}

inline int next (int i, int length) noexcept
{
    return i + 1 < length ? i + 1 : 0;
}
} // namespace

CDSP::CDSP() = default;
CDSP::~CDSP() = default;

void CDSP::Reset (int length)
{
    writePos = 0;
    prevL = 0.0;
    prevR = 0.0;
    bufferLength = length > 0 ? length : 0;

    bufferL.reset();
    bufferR.reset();
    bufferL.reset (new double[(size_t) bufferLength + 1]());
    bufferR.reset (new double[(size_t) bufferLength + 1]());

    for (int c = 0; c < 2; ++c)
    {
        attackEnv[c] = 0.0;
        releaseEnv[c] = 0.0;
        lastCurveOut[c] = 0.0;
        cachedAttackTime[c] = 0.0;
        cachedReleaseTime[c] = 0.0;
        attackCoef[c] = 0.0;
        releaseCoef[c] = 0.0;
        cachedRate[c] = 0.0;
        gainInput[c] = 0.0;
        lastGain[c] = 1.0;
    }
}

void CDSP::prepareRateTables (double sampleRate)
{
    tableRate = sampleRate;

    const double minimum = (0.1 * sampleRate) / 1000.0;
    if (minimum >= 0.0 && minimum < (double) INT_MAX)
        minSegment = (int) minimum;
    else
        minSegment = minimum > 0.0 ? INT_MAX : 0;

    // The sinc arguments and their sines depend on the rate, the point and the tap only,
    // never on the signal, so they are computed here once, by the very same operations
    // the estimate would otherwise repeat for every half-wave.
    double kOverRate[taps];
    for (int k = 1; k <= taps; ++k)
        kOverRate[k - 1] = (double) k / sampleRate;
    const double piRate = pi * sampleRate;

    numPoints = 0;
    for (double t = 1.5; t < 3.5 && numPoints < maxPoints; t += 0.2)
    {
        for (int k = 0; k < taps; ++k)
        {
            const double x = (t / sampleRate - kOverRate[k]) * piRate;
            sincArg[numPoints][k] = x;
            sincSin[numPoints][k] = std::sin (x);
        }
        ++numPoints;
    }

    kneeAttackCoef = std::exp (-1000.0 / (sampleRate * kneeAttackTime));
}

void CDSP::DoProcess (double inL, double inR, double* outL, double* outR,
                      double sampleRate, double levelDb, bool mono)
{
    const int p = writePos;

    *outL = bufferL[(size_t) p];
    *outR = bufferR[(size_t) p];
    bufferL[(size_t) p] = inL;
    bufferR[(size_t) p] = inR;

    const double crossL = prevL * inL;
    const double crossR = prevR * inR;
    prevL = inL;
    prevR = inR;

    if (sampleRate != tableRate)
        prepareRateTables (sampleRate);

    // A crossing needs a strictly negative product (an exact zero or a NaN never makes
    // one) and a plain position difference of at least 0.1 ms from the last one.
    if (crossL < 0.0 && std::abs (p - lastCrossL) >= minSegment)
    {
        processSegment (0, bufferL.get(), lastCrossL, p, sampleRate, levelDb);
        lastCrossL = p;
    }

    if (! mono && crossR < 0.0 && std::abs (p - lastCrossR) >= minSegment)
    {
        processSegment (1, bufferR.get(), lastCrossR, p, sampleRate, levelDb);
        lastCrossR = p;
    }

    writePos = next (p, bufferLength);
}

void CDSP::processSegment (int channel, double* ring, int start, int p,
                           double sampleRate, double levelDb)
{
    const int s = start >= bufferLength ? 0 : start;

    if (s == p)
        return;

    // One pass for the peak, the position that held the record before it, and the energy.
    double B = 0.0, S = 0.0, N = 0.0;
    int P = 0, Q = 0;
    for (int i = s; i != p; i = next (i, bufferLength))
    {
        const double x = ring[(size_t) i];
        const double magnitude = std::abs (x);
        if (magnitude > B)
        {
            Q = P;
            P = i;
            B = magnitude;
        }
        S += x * x;
        N += 1.0;
    }

    const double rms = std::sqrt (S / N);
    const double E1 = estimatePeak (ring, P);
    const double E2 = estimatePeak (ring, Q);

    if (levelDb != linLevelDb)
    {
        linLevelDb = levelDb;
        linLevel = std::exp (levelDb / 20.0 * ln10);
    }
    const double lin = linLevel;

    // Release follows the crest factor: a lone spike lets go almost at once, a sine
    // half-wave after about 70 ms, a flat block after 100 ms.
    const double peakPlus = B + 0.00001;
    const double rmsPlus = rms + 0.00001;
    const double T = peakPlus < rmsPlus ? 100.0 : (rmsPlus / peakPlus) * 99.99 + 0.01;

    // The inter-sample estimate counts only once it rises above the ceiling.
    const double Em = E1 > E2 ? E1 : E2;
    double G = lin < Em ? Em : 0.000001;
    G = G > peakPlus ? G : peakPlus;

    for (int j = s; j != p; j = next (j, bufferLength))
        Compress (channel, ring[(size_t) j], G, ring + j, sampleRate, levelDb, T);
}

double CDSP::estimatePeak (const double* ring, int k) const noexcept
{
    const double s1 = ring[(size_t) (k == 0 ? bufferLength - 1 : k - 1)];
    const double s2 = ring[(size_t) k];
    const double s3 = ring[(size_t) (k + 1 == bufferLength ? 0 : k + 1)];
    const double s4 = ring[(size_t) (k + 2 >= bufferLength ? k + 2 - bufferLength : k + 2)];

    double estimate = 0.0;
    for (int point = 0; point < numPoints; ++point)
    {
        const double* x = sincArg[point];
        const double* sine = sincSin[point];
        const double sum = (((sine[0] * s1) / x[0] + (sine[1] * s2) / x[1])
                                + (sine[2] * s3) / x[2])
                           + (sine[3] * s4) / x[3];
        const double magnitude = std::abs (sum);
        if (magnitude > estimate)
            estimate = magnitude;
    }
    return estimate;
}

void CDSP::Compress (int c, double x, double G, double* out,
                     double sampleRate, double levelDb, double T)
{
    const double rateOnEntry = cachedRate[c];

    double f = (rateOnEntry == sampleRate && cachedAttackTime[c] == attackTime)
                   ? attackCoef[c]
                   : std::exp (-1000.0 / (attackTime * sampleRate));
    cachedAttackTime[c] = attackTime;
    attackCoef[c] = f;

    const double h = (rateOnEntry == sampleRate && cachedReleaseTime[c] == T)
                         ? releaseCoef[c]
                         : std::exp (-1000.0 / (sampleRate * T));
    cachedReleaseTime[c] = T;
    releaseCoef[c] = h;
    cachedRate[c] = sampleRate;

    const double L = flush (levelDb);

    double m;
    if (x == 0.0)
    {
        m = silenceDb;
    }
    else
    {
        const double absX = std::abs (x);
        const double absG = std::abs (G);
        const double M = std::isnan (absG) ? absX : (absX > absG ? absX : absG);

        // Every nonzero sample of a segment takes its level from the segment peak, so
        // the logarithm is only taken again when that magnitude changes.
        if (M != levelInput)
        {
            levelInput = M;
            levelOutput = 20.0 * std::log10 (M);
        }
        m = levelOutput;
    }
    m = flush (m);

    // Soft knee 0.11 dB wide, 10000:1 above it.
    const double d = m - L;
    const double twoD = d + d;
    const double twoAbsD = std::abs (d) + std::abs (d);
    double r;
    if (twoD < -0.11)
    {
        r = m;
    }
    else if (twoAbsD <= 0.11)
    {
        const double k = ((-0.9999 * (d + 0.055)) * (d + 0.055)) / 0.22;
        r = flush (m + k);
        if (r >= lastCurveOut[c])
            f = kneeAttackCoef;
    }
    else
    {
        r = flush (L + d / 10000.0);
    }

    const double o = m - r;

    // A rising target is taken at once; a falling one decays by h per sample.
    const double u = (1.0 - h) * o + flush (releaseEnv[c]) * h;
    const double v = u > o ? u : o;

    const double a = flush ((1.0 - f) * v + flush (attackEnv[c]) * f);

    // The smoothed reduction is constant across most of a segment, so its exponential
    // is only taken again when it changes.
    if (a != gainInput[c])
    {
        gainInput[c] = a;
        lastGain[c] = std::exp (a / -20.0 * ln10);
    }
    const double w = lastGain[c] < 1.0 ? lastGain[c] : 1.0;

    *out = w * x;

    attackEnv[c] = a;
    releaseEnv[c] = flush (v);
    lastCurveOut[c] = r;
}
