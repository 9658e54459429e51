#include "DSP.h"

#include <algorithm>
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

bool CDSP::envelopeIsClean() const noexcept
{
    const auto clean = [] (double v) { return v == 0.0 || std::isnormal (v); };
    for (int c = 0; c < 2; ++c)
        if (! clean (attackEnv[c]) || ! clean (releaseEnv[c]) || ! clean (lastCurveOut[c])
            || ! clean (gainInput[c]) || ! std::isfinite (lastGain[c]))
            return false;
    return true;
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
            sincArg[k][numPoints] = x;
            sincSin[k][numPoints] = std::sin (x);
        }
        ++numPoints;
    }

    for (int k = 0; k < taps; ++k)
    {
        tapBound[k] = 0.0;
        for (int point = 0; point < numPoints; ++point)
            tapBound[k] = std::max (tapBound[k], std::abs (sincSin[k][point] / sincArg[k][point]));
    }

    kneeAttackCoef = std::exp (-1000.0 / (sampleRate * kneeAttackTime));
}

void CDSP::processSegment (int channel, double* ring, int start, int p,
                           double sampleRate, double levelDb)
{
    const int s = start >= bufferLength ? 0 : start;

    if (s == p)
        return;

    // The segment runs from s up to p, wrapping at the end of the ring at most once: as two
    // plain spans the loops need no wrap test per sample.
    const int firstEnd = p > s ? p : bufferLength;
    const int secondEnd = p > s ? 0 : p;

    // One pass for the peak, the position that held the record before it, and the energy.
    // The record is kept without branches: a half-wave's rise and fall would make the
    // branch unpredictable once per segment.
    double B = 0.0, S = 0.0;
    int P = 0, Q = 0;
    const auto scan = [&] (int from, int to)
    {
        for (int i = from; i < to; ++i)
        {
            const double x = ring[(size_t) i];
            const double magnitude = std::abs (x);
            const bool record = magnitude > B;
            Q = record ? P : Q;
            P = record ? i : P;
            B = record ? magnitude : B;
            S += x * x;
        }
    };
    scan (s, firstEnd);
    scan (0, secondEnd);
    // Counting in a double one by one gives exactly the integer count.
    const double N = (double) ((firstEnd - s) + secondEnd);

    if (levelDb != linLevelDb)
    {
        linLevelDb = levelDb;
        linLevel = std::exp (levelDb / 20.0 * ln10);
    }
    const double lin = linLevel;
    const double peakPlus = B + 0.00001;

    // An estimate no larger than both the ceiling and the padded sample peak leaves G at
    // the padded peak, whatever its exact value; only larger ones need computing.
    const double irrelevantBelow = lin > peakPlus ? lin : peakPlus;
    const double rms = std::sqrt (S / N);
    const double E1 = estimatePeak (ring, P, irrelevantBelow);
    const double E2 = estimatePeak (ring, Q, irrelevantBelow);

    // Release follows the crest factor: a lone spike lets go almost at once, a sine
    // half-wave after about 70 ms, a flat block after 100 ms.
    const double rmsPlus = rms + 0.00001;
    const double T = peakPlus < rmsPlus ? 100.0 : (rmsPlus / peakPlus) * 99.99 + 0.01;

    // The inter-sample estimate counts only once it rises above the ceiling.
    const double Em = E1 > E2 ? E1 : E2;
    double G = lin < Em ? Em : 0.000001;
    G = G > peakPlus ? G : peakPlus;

    CompressRun run = beginCompress (channel, G, sampleRate, levelDb, T);
    for (int j = s; j < firstEnd; ++j)
        ring[(size_t) j] = Compress (run, ring[(size_t) j]);
    for (int j = 0; j < secondEnd; ++j)
        ring[(size_t) j] = Compress (run, ring[(size_t) j]);
    endCompress (channel, run);
}

// The largest magnitude of the four-tap sinc interpolation over the evaluation points.
// When a bound on every point's magnitude shows that the result cannot exceed
// `irrelevantBelow`, 0 is returned instead: the caller treats both the same way. The bound
// carries a margin far above the few rounding steps separating it from the exact sums, and
// a NaN or overflowing bound always takes the exact path.
double CDSP::estimatePeak (const double* ring, int k, double irrelevantBelow) const noexcept
{
    const double s1 = ring[(size_t) (k == 0 ? bufferLength - 1 : k - 1)];
    const double s2 = ring[(size_t) k];
    const double s3 = ring[(size_t) (k + 1 == bufferLength ? 0 : k + 1)];
    const double s4 = ring[(size_t) (k + 2 >= bufferLength ? k + 2 - bufferLength : k + 2)];

    const double bound = tapBound[0] * std::abs (s1) + tapBound[1] * std::abs (s2)
                         + tapBound[2] * std::abs (s3) + tapBound[3] * std::abs (s4);
    if (bound * (1.0 + 1.0e-9) + 1.0e-300 <= irrelevantBelow)
        return 0.0;

    // The sums of all points first, in the same order of operations per point, so that
    // the points are computed side by side; then the largest magnitude, skipping NaNs.
    double sums[maxPoints];
    for (int point = 0; point < maxPoints; ++point)
        sums[point] = (((sincSin[0][point] * s1) / sincArg[0][point]
                        + (sincSin[1][point] * s2) / sincArg[1][point])
                       + (sincSin[2][point] * s3) / sincArg[2][point])
                      + (sincSin[3][point] * s4) / sincArg[3][point];

    double estimate = 0.0;
    for (int point = 0; point < numPoints; ++point)
    {
        const double magnitude = std::abs (sums[point]);
        if (magnitude > estimate)
            estimate = magnitude;
    }
    return estimate;
}

CDSP::CompressRun CDSP::beginCompress (int c, double G, double sampleRate, double levelDb, double T)
{
    // The coefficient caches behave exactly as if they were consulted per sample: the first
    // sample of a run settles them, and every later sample of the run, having the same
    // rate and times, finds the values the first one left.
    const double rateOnEntry = cachedRate[c];

    const double f = (rateOnEntry == sampleRate && cachedAttackTime[c] == attackTime)
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

    CompressRun run;
    run.absG = std::abs (G);
    run.L = flush (levelDb);
    run.f = f;
    run.h = h;
    run.kneeF = kneeAttackCoef;
    run.attackEnv = attackEnv[c];
    run.releaseEnv = releaseEnv[c];
    run.lastCurveOut = lastCurveOut[c];
    run.gainInput = gainInput[c];
    run.lastGain = lastGain[c];
    run.levelInput = levelInput;
    run.levelOutput = levelOutput;

    // G is at least the padded segment peak, so every nonzero sample of the segment meets
    // the curve at the level of |G| and every zero at silence: two points, worked out once.
    run.silent = staticCurve (run, silenceDb);
    run.signal = staticCurve (run, levelOf (run, run.absG));
    return run;
}

// 20 log10 of a magnitude, through the run's one-entry cache.
inline double CDSP::levelOf (CompressRun& run, double magnitude) noexcept
{
    if (magnitude != run.levelInput)
    {
        run.levelInput = magnitude;
        run.levelOutput = 20.0 * std::log10 (magnitude);
    }
    return run.levelOutput;
}

// The static curve at input level m (dB): soft knee 0.11 dB wide, 10000:1 above it.
inline CDSP::CurvePoint CDSP::staticCurve (const CompressRun& run, double level) noexcept
{
    CurvePoint point;
    const double m = flush (level);
    const double L = run.L;
    const double d = m - L;
    const double twoD = d + d;
    const double twoAbsD = std::abs (d) + std::abs (d);
    point.inKnee = false;
    if (twoD < -0.11)
    {
        point.r = m;
    }
    else if (twoAbsD <= 0.11)
    {
        const double k = ((-0.9999 * (d + 0.055)) * (d + 0.055)) / 0.22;
        point.r = flush (m + k);
        point.inKnee = true;
    }
    else
    {
        point.r = flush (L + d / 10000.0);
    }
    point.o = m - point.r;
    return point;
}

void CDSP::endCompress (int c, const CompressRun& run) noexcept
{
    attackEnv[c] = run.attackEnv;
    releaseEnv[c] = run.releaseEnv;
    lastCurveOut[c] = run.lastCurveOut;
    gainInput[c] = run.gainInput;
    lastGain[c] = run.lastGain;
    levelInput = run.levelInput;
    levelOutput = run.levelOutput;
}

// One sample through the static curve and the envelope; returns the gain-adjusted sample.
// Works on the run's local copy of the channel state, so that the loop over a segment
// keeps it in registers while it writes into the ring.
inline double CDSP::Compress (CompressRun& run, double x) noexcept
{
    const double h = run.h;

    CurvePoint point;
    if (x == 0.0)
    {
        point = run.silent;
    }
    else
    {
        const double absX = std::abs (x);
        const double absG = run.absG;
        // Only a sample above the padded peak would meet the curve elsewhere.
        point = std::isnan (absG) || absX > absG ? staticCurve (run, levelOf (run, absX)) : run.signal;
    }

    // Inside the knee a rising curve output is followed with the knee's own attack.
    const double r = point.r;
    const double f = point.inKnee && r >= run.lastCurveOut ? run.kneeF : run.f;
    const double o = point.o;

    // A rising target is taken at once; a falling one decays by h per sample.
    const double u = (1.0 - h) * o + flush (run.releaseEnv) * h;
    const double v = u > o ? u : o;

    const double a = flush ((1.0 - f) * v + flush (run.attackEnv) * f);

    // The smoothed reduction is constant across most of a segment, so its exponential
    // is only taken again when it changes.
    if (a != run.gainInput)
    {
        run.gainInput = a;
        run.lastGain = std::exp (a / -20.0 * ln10);
    }
    const double w = run.lastGain < 1.0 ? run.lastGain : 1.0;

    run.attackEnv = a;
    run.releaseEnv = flush (v);
    run.lastCurveOut = r;
    return w * x;
}
