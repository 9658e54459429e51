// The production engine against the line-by-line transcription, and the engine's own
// promises: the delay, the ring bookkeeping and the ceiling.
#include "DSP.h"
#include "TestSignals.h"
#include "oracle/ReferenceEngine.h"

#include <gtest/gtest.h>

#include <cstring>

namespace
{
uint64_t bitsOf (double v)
{
    uint64_t b;
    std::memcpy (&b, &v, sizeof b);
    return b;
}

int lookahead (double rate)
{
    return (int) (rate * 30.0 / 1000.0);
}

// Runs both engines over the same material and reports the first frame that differs.
// The level moves every few thousand frames so that level changes inside and between
// half-waves are covered too.
void expectBitIdentical (const testsignals::Stereo& input, double rate, bool mono, int length)
{
    CDSP engine;
    ReferenceEngine oracle;
    engine.Reset (length);
    oracle.reset (length);

    const double levels[] = { -0.1, -1.0, -6.0, -0.0, -3.37 };
    for (size_t i = 0; i < input.size(); ++i)
    {
        const double level = levels[(i / 3001) % 5];
        double el = 0, er = 0, ol = 0, orr = 0;
        engine.DoProcess (input.left[i], input.right[i], &el, &er, rate, level, mono);
        oracle.process (input.left[i], input.right[i], &ol, &orr, rate, level, mono);
        if (bitsOf (el) != bitsOf (ol) || bitsOf (er) != bitsOf (orr))
        {
            ADD_FAILURE() << "frame " << i << ": engine (" << el << ", " << er << ") oracle ("
                          << ol << ", " << orr << ")";
            return;
        }
    }
}
} // namespace

struct OracleCase
{
    std::string signal;
    double rate;
    bool mono;

    friend void PrintTo (const OracleCase& c, std::ostream* os)
    {
        *os << c.signal << " at " << c.rate << " Hz" << (c.mono ? ", mono" : ", stereo");
    }
};

class EngineMatchesOracle : public ::testing::TestWithParam<OracleCase>
{
};

TEST_P (EngineMatchesOracle, BitForBit)
{
    const auto& param = GetParam();
    for (const auto& named : testsignals::table())
    {
        if (named.name != param.signal)
            continue;
        const size_t frames = (size_t) (param.rate * 0.35);
        expectBitIdentical (named.make (param.rate, frames), param.rate, param.mono, lookahead (param.rate));
    }
}

std::vector<OracleCase> oracleCases()
{
    std::vector<OracleCase> cases;
    for (const auto& named : testsignals::table())
        for (double rate : { 8000.0, 22050.0, 44100.0, 48000.0, 96000.0, 192000.0 })
            for (bool mono : { false, true })
                cases.push_back ({ named.name, rate, mono });
    return cases;
}

INSTANTIATE_TEST_SUITE_P (SignalsRatesLayouts, EngineMatchesOracle, ::testing::ValuesIn (oracleCases()),
                          [] (const auto& testInfo)
                          {
                              return testInfo.param.signal + "_" + std::to_string ((int) testInfo.param.rate)
                                     + (testInfo.param.mono ? "_mono" : "_stereo");
                          });

TEST (Engine, MatchesOracleAcrossResetsToOtherLengths)
{
    // A reset keeps the last-crossing positions, so after 96 kHz the 44.1 kHz ring starts
    // its first segment from a position beyond its end.
    CDSP engine;
    ReferenceEngine oracle;
    const auto input = testsignals::music (96000.0, 60000, 3);
    size_t i = 0;
    for (double rate : { 96000.0, 44100.0, 192000.0, 8000.0, 48000.0 })
    {
        engine.Reset (lookahead (rate));
        oracle.reset (lookahead (rate));
        for (size_t end = i + 12000; i < end; ++i)
        {
            double el = 0, er = 0, ol = 0, orr = 0;
            engine.DoProcess (input.left[i], input.right[i], &el, &er, rate, -1.0, false);
            oracle.process (input.left[i], input.right[i], &ol, &orr, rate, -1.0, false);
            ASSERT_EQ (bitsOf (el), bitsOf (ol)) << "rate " << rate << " frame " << i;
            ASSERT_EQ (bitsOf (er), bitsOf (orr)) << "rate " << rate << " frame " << i;
        }
    }
}

TEST (Engine, DelaysByExactlyTheRingLength)
{
    CDSP engine;
    engine.Reset (1323);
    std::vector<double> outL, outR;
    for (int i = 0; i < 3000; ++i)
    {
        double l = -1, r = -1;
        engine.DoProcess (0.25 + i * 1e-6, -0.5, &l, &r, 44100.0, -0.1, false);
        outL.push_back (l);
        outR.push_back (r);
    }
    for (int i = 0; i < 1323; ++i)
    {
        ASSERT_EQ (outL[(size_t) i], 0.0);
        ASSERT_EQ (outR[(size_t) i], 0.0);
    }
    // A signal that never changes sign has no crossing, so it leaves untouched.
    for (int i = 1323; i < 3000; ++i)
    {
        ASSERT_EQ (outL[(size_t) i], 0.25 + (i - 1323) * 1e-6);
        ASSERT_EQ (outR[(size_t) i], -0.5);
    }
}

TEST (Engine, HalfWavesLeaveBelowTheCeilingAndGainNeverRises)
{
    const double rate = 48000.0;
    const int length = lookahead (rate);
    for (double level : { -0.1, -1.0, -6.0 })
    {
        CDSP engine;
        engine.Reset (length);
        const auto input = testsignals::music (rate, 96000, 5, 2.0);
        const double ceiling = std::pow (10.0, level / 20.0);
        double loudest = 0.0;
        for (size_t i = 0; i < input.size(); ++i)
        {
            double l = 0, r = 0;
            engine.DoProcess (input.left[i], input.right[i], &l, &r, rate, level, false);
            if (i >= (size_t) length)
            {
                const size_t source = i - (size_t) length;
                ASSERT_LE (std::abs (l), std::abs (input.left[source])) << i;
                ASSERT_LE (std::abs (r), std::abs (input.right[source])) << i;
                loudest = std::max ({ loudest, std::abs (l), std::abs (r) });
            }
        }
        // Input peaks reach +6 dBFS; the 10000:1 curve lets through a hair above the level.
        EXPECT_LE (loudest, ceiling * 1.001) << "level " << level;
        EXPECT_GT (loudest, ceiling * 0.8) << "level " << level;
    }
}

TEST (Engine, MonoLeavesTheRightChannelDelayedButUnanalysed)
{
    CDSP engine;
    engine.Reset (1440);
    const auto input = testsignals::sine (48000.0, 1000.0, 1.5, 6000);
    for (size_t i = 0; i < input.size(); ++i)
    {
        double l = 0, r = 0;
        engine.DoProcess (input.left[i], input.right[i], &l, &r, 48000.0, -1.0, true);
        if (i >= 1440)
        {
            ASSERT_EQ (r, input.right[i - 1440]);
            ASSERT_LT (std::abs (l), 1.0);
        }
    }
}

TEST (Engine, NonFiniteInputLeavesTheStateClean)
{
    // Once the hostile samples have left the ring, a clean sine comes out finite and limited.
    CDSP engine;
    engine.Reset (1440);
    const auto hostile = testsignals::hostile (48000.0, 20000);
    for (size_t i = 0; i < hostile.size(); ++i)
    {
        double l = 0, r = 0;
        engine.DoProcess (hostile.left[i], hostile.right[i], &l, &r, 48000.0, -1.0, false);
    }
    const auto clean = testsignals::sine (48000.0, 500.0, 1.5, 20000);
    for (size_t i = 0; i < clean.size(); ++i)
    {
        double l = 0, r = 0;
        engine.DoProcess (clean.left[i], clean.right[i], &l, &r, 48000.0, -1.0, false);
        if (i >= 1440 * 2)
        {
            ASSERT_TRUE (std::isfinite (l) && std::isfinite (r)) << i;
            ASSERT_LT (std::abs (l), 0.9);
        }
    }
}
