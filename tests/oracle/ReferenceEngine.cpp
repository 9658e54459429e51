#include "ReferenceEngine.h"

#include <cmath>

namespace
{
double N (double v)
{
    return std::isnormal (v) ? v : 0.0;
}
} // namespace

void ReferenceEngine::reset (int n)
{
    writePos = 0;
    prevL = 0;
    prevR = 0;
    bufferLength = n;
    bufferL.assign ((size_t) n, 0.0);
    bufferR.assign ((size_t) n, 0.0);
    for (int c = 0; c < 2; ++c)
    {
        attackEnv[c] = 0;
        releaseEnv[c] = 0;
        lastCurveOut[c] = 0;
        cachedAttackTime[c] = 0;
        cachedReleaseTime[c] = 0;
        attackCoef[c] = 0;
        releaseCoef[c] = 0;
        cachedRate[c] = 0;
    }
}

void ReferenceEngine::process (double inL, double inR, double* outL, double* outR,
                               double sampleRate, double levelDb, bool mono)
{
    int p = writePos;
    *outL = bufferL[(size_t) p];
    *outR = bufferR[(size_t) p];
    bufferL[(size_t) p] = inL;
    bufferR[(size_t) p] = inR;

    double cL = prevL * inL;
    double cR = prevR * inR;
    prevL = inL;
    prevR = inR;

    analyseChannel (0, bufferL, lastCrossL, cL, p, sampleRate, levelDb);
    if (! mono)
        analyseChannel (1, bufferR, lastCrossR, cR, p, sampleRate, levelDb);

    writePos = (p + 1 < bufferLength) ? p + 1 : 0;
}

void ReferenceEngine::analyseChannel (int channel, std::vector<double>& ring, int& lastCross,
                                      double product, int p, double sampleRate, double levelDb)
{
    int minimumLength = (int) ((0.1 * sampleRate) / 1000);

    if (! (product < 0))
        return;
    if (! (std::abs (p - lastCross) >= minimumLength))
        return;

    int s = lastCross;
    if (s >= bufferLength)
        s = 0;

    // 1. scan
    double B = 0, S = 0;
    int P = 0, Q = 0, Ncount = 0;
    for (int i = s; i != p; i = (i + 1 == bufferLength) ? 0 : i + 1)
    {
        double x = ring[(size_t) i];
        if (std::abs (x) > B)
        {
            Q = P;
            P = i;
            B = std::abs (x);
        }
        S += x * x;
        Ncount += 1;
    }

    // 2 to 4
    double rms = std::sqrt (S / Ncount);
    double E1 = interSamplePeak (ring, P, sampleRate);
    double E2 = interSamplePeak (ring, Q, sampleRate);
    double lin = std::exp (levelDb / 20 * 2.302585092994046);

    // 5. empty segment
    bool empty = (s == p);
    if (! empty)
    {
        // 6. release time
        double Bp = B + 0.00001;
        double Rp = rms + 0.00001;
        double T;
        if (Bp < Rp)
            T = 100;
        else
            T = (Rp / Bp) * 99.99 + 0.01;

        // 7. segment peak
        double Em = (E1 > E2) ? E1 : E2;
        double G = (lin < Em) ? Em : 0.000001;
        G = (G > Bp) ? G : Bp;

        // 8. gain
        for (int j = s; j != p; j = (j + 1 == bufferLength) ? 0 : j + 1)
            compress (channel, ring[(size_t) j], G, &ring[(size_t) j], sampleRate, levelDb, T);
    }

    // 9.
    lastCross = p;
}

double ReferenceEngine::interSamplePeak (const std::vector<double>& ring, int K, double sampleRate) const
{
    double s[5];
    s[1] = (K == 0) ? ring[(size_t) (bufferLength - 1)] : ring[(size_t) (K - 1)];
    s[2] = ring[(size_t) K];
    s[3] = (K + 1 == bufferLength) ? ring[0] : ring[(size_t) (K + 1)];
    s[4] = (K + 2 >= bufferLength) ? ring[(size_t) (K + 2 - bufferLength)] : ring[(size_t) (K + 2)];

    double kOverRate[5];
    for (int k = 1; k <= 4; ++k)
        kOverRate[k] = k / sampleRate;
    double piRate = 3.141592653589793 * sampleRate;

    double best = 0;
    for (double t = 1.5; t < 3.5; t += 0.2)
    {
        double term[5];
        for (int k = 1; k <= 4; ++k)
        {
            double x = (t / sampleRate - kOverRate[k]) * piRate;
            term[k] = std::sin (x) * s[k] / x;
        }
        double sum = ((term[1] + term[2]) + term[3]) + term[4];
        if (std::abs (sum) > best)
            best = std::abs (sum);
    }
    return best;
}

void ReferenceEngine::compress (int c, double x, double G, double* out,
                                double sampleRate, double levelDb, double T)
{
    double entryRate = cachedRate[c];

    // 1.
    double f;
    if (entryRate == sampleRate && cachedAttackTime[c] == 0.00001)
        f = attackCoef[c];
    else
        f = std::exp (-1000 / (0.00001 * sampleRate));
    cachedAttackTime[c] = 0.00001;
    attackCoef[c] = f;

    // 2.
    double h;
    if (entryRate == sampleRate && cachedReleaseTime[c] == T)
        h = releaseCoef[c];
    else
        h = std::exp (-1000 / (sampleRate * T));
    cachedReleaseTime[c] = T;
    releaseCoef[c] = h;
    cachedRate[c] = sampleRate;

    // 3.
    double L = N (levelDb);

    // 4.
    double m;
    if (x == 0)
    {
        m = -160;
    }
    else
    {
        double M;
        if (std::isnan (std::abs (G)))
            M = std::abs (x);
        else if (std::abs (x) > std::abs (G))
            M = std::abs (x);
        else
            M = std::abs (G);
        m = 20 * std::log10 (M);
    }
    m = N (m);

    // 5.
    double d = m - L;
    double r;
    if (d + d < -0.11)
    {
        r = m;
    }
    else if (std::abs (d) + std::abs (d) <= 0.11)
    {
        double k = ((-0.9999 * (d + 0.055)) * (d + 0.055)) / 0.22;
        r = N (m + k);
        if (r >= lastCurveOut[c])
            f = std::exp (-1000 / (sampleRate * 0.00002));
    }
    else
    {
        r = N (L + d / 10000);
    }

    // 6.
    double o = m - r;

    // 7.
    double u = (1 - h) * o + N (releaseEnv[c]) * h;
    double v = (u > o) ? u : o;

    // 8.
    double a = N ((1 - f) * v + N (attackEnv[c]) * f);

    // 9.
    double w = std::exp (a / -20 * 2.302585092994046);
    w = (w < 1) ? w : 1;

    // 10.
    *out = w * x;

    // 11.
    attackEnv[c] = a;
    releaseEnv[c] = N (v);
    lastCurveOut[c] = r;
}
