#pragma once

#include <cstdint>
#include <cstdlib>
#include <memory>

// The limiter engine: two lookahead delay rings, the half-wave analysis with its
// inter-sample peak estimate, and the gain computer with its envelope.
//
// Plain C++ with no framework in sight; the processor drives it one sample frame at a
// time. Everything is double precision and follows a fixed order of operations, so the
// same input gives the same bits on every build (compile without fast-math and with
// floating-point contraction off).
class CDSP
{
public:
    CDSP();
    ~CDSP();

    CDSP (const CDSP&) = delete;
    CDSP& operator= (const CDSP&) = delete;

    // Reallocates both rings to `length` samples (the lookahead), clears them and clears
    // the per-channel gain state. The last-crossing positions survive on purpose.
    void Reset (int length);

    // One sample frame: hands back the frame stored `bufferLength` calls earlier (already
    // scaled if its half-wave has closed), stores the new one and analyses any half-wave
    // that the new samples close. Defined below, so that a caller's per-sample loop keeps
    // the common case (no crossing) inline.
    inline void DoProcess (double inL, double inR, double* outL, double* outR,
                           double sampleRate, double levelDb, bool mono);

    // The analysis reads up to two slots beyond a position and wraps them once, so it
    // needs at least three slots; the processor passes audio through untouched otherwise.
    static constexpr int minimumLength = 3;
    bool isReady() const noexcept { return bufferLength >= minimumLength; }
    int getLength() const noexcept { return bufferLength; }

    // Whether the gain state carried from one step to the next (both envelopes, the curve
    // output and the gain taken from them) is finite and free of subnormals. The rings and
    // the previous inputs carry the audio as it came, hostile samples included, and the
    // coefficient caches are keyed by what they were computed from; the envelope may never
    // be poisoned. For tests and diagnostics.
    bool envelopeIsClean() const noexcept;

private:
    // Evaluation points of the inter-sample estimate: t from 1.5 in steps of 0.2 while
    // t < 3.5, which the accumulated additions make exactly ten at every rate.
    static constexpr int maxPoints = 10;
    static constexpr int taps = 4;

    void processSegment (int channel, double* ring, int start, int p,
                         double sampleRate, double levelDb);
    double estimatePeak (const double* ring, int k, double irrelevantBelow) const noexcept;
    // The gain computer over one segment: the coefficients it settles on entry and a
    // local copy of the channel's envelope state, written back when the segment ends.
    struct CurvePoint
    {
        double r, o;    // curve output (dB) and the reduction it asks for
        bool inKnee;
    };
    struct CompressRun
    {
        double absG, L, f, h, kneeF;
        double attackEnv, releaseEnv, lastCurveOut, gainInput, lastGain, levelInput, levelOutput;
        CurvePoint silent, signal;
    };
    static double levelOf (CompressRun& run, double magnitude) noexcept;
    static CurvePoint staticCurve (const CompressRun& run, double level) noexcept;
    CompressRun beginCompress (int channel, double G, double sampleRate, double levelDb, double T);
    double Compress (CompressRun& run, double x) noexcept;
    void endCompress (int channel, const CompressRun& run) noexcept;
    void prepareRateTables (double sampleRate);

    int bufferLength = 0;                   // ring length in samples: the lookahead and the latency
    std::unique_ptr<double[]> bufferL;      // left ring; a slot holds the input until its half-wave
    std::unique_ptr<double[]> bufferR;      // is processed, then the gain-adjusted value
    int writePos = 0;                       // slot of the current frame: read out, then overwritten
    int lastCrossL = 0;                     // slot where the open left half-wave began (survives Reset)
    int lastCrossR = 0;                     // the same for the right channel
    double prevL = 0.0;                     // left input of the previous call, for the crossing test
    double prevR = 0.0;                     // right input of the previous call

    double attackEnv[2] {};                 // dB of reduction after the attack stage; written per gain step
    double releaseEnv[2] {};                // dB of reduction after the release stage; falls by h per step
    double lastCurveOut[2] {};              // static-curve output (dB) of the channel's previous step
    double cachedAttackTime[2] {};          // ms for which attackCoef was computed (0 after Reset)
    double cachedReleaseTime[2] {};         // ms for which releaseCoef was computed
    double attackCoef[2] {};                // attack smoothing coefficient, per sample
    double releaseCoef[2] {};               // release smoothing coefficient, per sample
    double cachedRate[2] {};                // Hz at which the channel's coefficients were last computed

    // Derived caches, not state: each holds a pure function of its key, recomputed with
    // exactly the operations it replaces whenever the key changes.
    double tableRate = 0.0;                 // rate the tables below were built for (0: none yet)
    int minSegment = 0;                     // 0.1 ms in whole samples at tableRate
    int numPoints = 0;                      // evaluation points of the estimate
    double sincArg[taps][maxPoints] {};     // x_k at each tap and point, at tableRate
    double sincSin[taps][maxPoints] {};     // sin (x_k); tap-major so the points vectorise
    double tapBound[taps] {};               // largest |sin (x_k) / x_k| of each tap over all points
    double kneeAttackCoef = 0.0;            // attack coefficient inside the knee, at tableRate
    double linLevelDb = 0.0;                // level for which linLevel was computed
    double linLevel = 1.0;                  // that level as a linear amplitude
    double levelInput = 1.0;                // magnitude whose level (dB) is in levelOutput
    double levelOutput = 0.0;               // 20 log10 of levelInput
    double gainInput[2] {};                 // attack-stage output whose gain is in lastGain
    double lastGain[2] { 1.0, 1.0 };        // exp of gainInput, uncapped
};

inline void CDSP::DoProcess (double inL, double inR, double* outL, double* outR,
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

    writePos = p + 1 < bufferLength ? p + 1 : 0;
}
