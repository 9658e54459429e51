#pragma once

#include <vector>

// A plain, line-by-line transcription of the limiter engine's algorithm, kept only as
// the tests' oracle: no caches, no tables, every sine, logarithm and exponential taken
// where the algorithm names it. The production engine must match it bit for bit.
class ReferenceEngine
{
public:
    void reset (int length);
    void process (double inL, double inR, double* outL, double* outR,
                  double sampleRate, double levelDb, bool mono);

private:
    void analyseChannel (int channel, std::vector<double>& ring, int& lastCross, double product,
                         int p, double sampleRate, double levelDb);
    double interSamplePeak (const std::vector<double>& ring, int K, double sampleRate) const;
    void compress (int channel, double x, double G, double* out,
                   double sampleRate, double levelDb, double T);

    int bufferLength = 0;
    std::vector<double> bufferL, bufferR;
    int writePos = 0;
    int lastCrossL = 0, lastCrossR = 0;
    double prevL = 0.0, prevR = 0.0;
    double attackEnv[2] {}, releaseEnv[2] {}, lastCurveOut[2] {};
    double cachedAttackTime[2] {}, cachedReleaseTime[2] {};
    double attackCoef[2] {}, releaseCoef[2] {}, cachedRate[2] {};
};
