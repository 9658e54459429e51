// orvan-render: the command-line renderer drives the plug-in's processor exactly as a host
// does, so its files must match the engine bit for bit, line up with the input when the
// lookahead is compensated, pass audio untouched when switched off, ignore the block size,
// and refuse bad input with one clear line and no file left behind.

#include "DSP.h"
#include "PluginProcessor.h"
#include "Render.h"
#include "TestSignals.h"
#include "TruePeak.h"

#include <juce_audio_formats/juce_audio_formats.h>
#include <juce_graphics/juce_graphics.h>

#include <gtest/gtest.h>

#include <cmath>
#include <csignal>
#include <cstring>
#include <sstream>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace
{
using Channels = std::vector<std::vector<float>>;

struct Run
{
    int status = 0;
    std::string out, err;
};

Run run (std::vector<std::string> args)
{
    std::ostringstream out, err;
    Run r;
    r.status = orvan::render::runCommandLine (args, out, err);
    r.out = out.str();
    r.err = err.str();
    return r;
}

// A file's samples, read back both as the floats the renderer sees and as the integers
// the file stores.
struct Sound
{
    juce::String format;
    double rate = 0.0;
    int bits = 0;
    bool isFloat = false;
    Channels samples;
    std::vector<std::vector<int>> stored;
};

Sound readSound (const juce::File& file)
{
    juce::AudioFormatManager formats;
    formats.registerBasicFormats();
    std::unique_ptr<juce::AudioFormatReader> reader (formats.createReaderFor (file));
    Sound s;
    if (reader == nullptr)
        return s;
    const int n = (int) reader->lengthInSamples;
    const int channels = (int) reader->numChannels;
    s.format = reader->getFormatName();
    s.rate = reader->sampleRate;
    s.bits = (int) reader->bitsPerSample;
    s.isFloat = reader->usesFloatingPointData;
    s.samples.assign ((size_t) channels, std::vector<float> ((size_t) n));
    s.stored.assign ((size_t) channels, std::vector<int> ((size_t) n));
    std::vector<float*> f;
    std::vector<int*> i;
    for (int ch = 0; ch < channels; ++ch)
    {
        f.push_back (s.samples[(size_t) ch].data());
        i.push_back (s.stored[(size_t) ch].data());
    }
    reader->read (f.data(), channels, 0, n);
    reader->read (i.data(), channels, 0, n, false);
    return s;
}

// Writes integer files from exact integer sample values, so the inputs hold precisely
// what the test intends.
void writeSound (const juce::File& file, const Channels& samples, double rate, int bits, bool isFloat)
{
    juce::AudioFormatManager formats;
    formats.registerBasicFormats();
    auto* format = formats.findFormatForFileExtension (file.getFileExtension());
    ASSERT_NE (format, nullptr);
    file.deleteFile();
    auto* stream = new juce::FileOutputStream (file);
    std::unique_ptr<juce::AudioFormatWriter> writer (
        format->createWriterFor (stream, rate, (unsigned int) samples.size(), isFloat ? 32 : bits, {}, 0));
    ASSERT_NE (writer, nullptr);
    const int n = (int) samples[0].size();
    if (n == 0)
        return;
    if (isFloat)
    {
        std::vector<const float*> p;
        for (auto& c : samples)
            p.push_back (c.data());
        ASSERT_TRUE (writer->writeFromFloatArrays (p.data(), (int) p.size(), n));
        return;
    }
    const double scale = std::ldexp (1.0, bits - 1);
    std::vector<std::vector<int>> ints (samples.size(), std::vector<int> ((size_t) n));
    std::vector<const int*> p;
    for (size_t ch = 0; ch < samples.size(); ++ch)
    {
        for (int i = 0; i < n; ++i)
        {
            const double q = juce::jlimit (-scale, scale - 1.0, std::round (samples[ch][(size_t) i] * scale));
            ints[ch][(size_t) i] = (int) ((juce::int64) q * ((juce::int64) 1 << (32 - bits)));
        }
        p.push_back (ints[ch].data());
    }
    p.push_back (nullptr);
    ASSERT_TRUE (writer->write (p.data(), n));
}

Channels music (double rate, size_t frames, int channels, double peak = 2.0)
{
    const auto s = testsignals::music (rate, frames, 23, peak);
    Channels c;
    c.push_back (std::vector<float> (s.left.begin(), s.left.end()));
    if (channels == 2)
        c.push_back (std::vector<float> (s.right.begin(), s.right.end()));
    return c;
}

// The engine fed directly, frame by frame, as the processor feeds it.
Channels engineOutput (const Channels& input, double rate, double levelDb, size_t extraSilence)
{
    CDSP engine;
    engine.Reset (OrvanAudioProcessor::lookaheadFor (rate));
    const bool mono = input.size() == 1;
    Channels out (input.size());
    const size_t n = input[0].size() + extraSilence;
    for (size_t i = 0; i < n; ++i)
    {
        const double l = i < input[0].size() ? (double) input[0][i] : 0.0;
        const double r = mono ? l : (i < input[1].size() ? (double) input[1][i] : 0.0);
        double ol = 0.0, orr = 0.0;
        engine.DoProcess (l, r, &ol, &orr, rate, levelDb, mono);
        out[0].push_back ((float) ol);
        if (! mono)
            out[1].push_back ((float) orr);
    }
    return out;
}

size_t countDifferences (const std::vector<float>& a, const std::vector<float>& b, size_t offsetB = 0)
{
    size_t differences = 0;
    for (size_t i = 0; i < a.size(); ++i)
        if (i + offsetB >= b.size() || std::memcmp (&a[i], &b[i + offsetB], sizeof (float)) != 0)
            ++differences;
    return differences;
}

// ctest runs each case in its own process, side by side: every scratch folder carries the
// process id.
juce::File scratchFolder (const char* name)
{
    return juce::File::getSpecialLocation (juce::File::tempDirectory)
        .getNonexistentChildFile (juce::String (name) + "-" + juce::String ((int) ::getpid()), "", false);
}

juce::var parseJson (const std::string& text)
{
    return juce::JSON::parse (juce::String (text));
}

class RenderTest : public ::testing::Test
{
public:
    void SetUp() override
    {
        dir = scratchFolder ("orvan-render-test");
        ASSERT_TRUE (dir.createDirectory());
    }
    void TearDown() override { dir.deleteRecursively(); }

    std::string path (const char* name) const { return dir.getChildFile (name).getFullPathName().toStdString(); }

    juce::StringArray listing() const
    {
        juce::StringArray names;
        for (const auto& f : dir.findChildFiles (juce::File::findFilesAndDirectories, false, "*"))
            names.add (f.getFileName());
        names.sort (false);
        return names;
    }

    juce::File dir;
};

struct EngineCase
{
    const char* name;
    double rate;
    int channels;
    const char* level;
};

void PrintTo (const EngineCase& c, std::ostream* os) { *os << c.name; }

class RenderMatchesEngine : public RenderTest, public ::testing::WithParamInterface<EngineCase>
{
};

TEST_P (RenderMatchesEngine, RawOutputIsTheEngineAndCompensationShiftsItByTheLatency)
{
    const auto& c = GetParam();
    const size_t frames = (size_t) (c.rate * 0.8);
    const auto input = music (c.rate, frames, c.channels);
    writeSound (dir.getChildFile ("in.wav"), input, c.rate, 32, true);

    const auto raw = run ({ "--level", c.level, "--keep-latency", "--float", "--json", path ("in.wav"), path ("raw.wav") });
    ASSERT_EQ (raw.status, 0) << raw.err;
    const auto compensated = run ({ "--level", c.level, "--float", "--json", path ("in.wav"), path ("comp.wav") });
    ASSERT_EQ (compensated.status, 0) << compensated.err;

    const auto report = parseJson (raw.out);
    const double level = report["level_db"];
    const int latency = report["latency_samples"];
    EXPECT_EQ (latency, OrvanAudioProcessor::lookaheadFor (c.rate));
    EXPECT_EQ ((double) (float) level, level) << "the level is the parameter's single-precision value";
    EXPECT_NEAR (level, std::stod (c.level), 0.005);

    const auto expected = engineOutput (input, c.rate, level, (size_t) latency);
    const auto rawOut = readSound (dir.getChildFile ("raw.wav"));
    const auto compOut = readSound (dir.getChildFile ("comp.wav"));
    ASSERT_EQ (rawOut.samples.size(), (size_t) c.channels);
    ASSERT_EQ (compOut.samples.size(), (size_t) c.channels);

    for (size_t ch = 0; ch < (size_t) c.channels; ++ch)
    {
        ASSERT_EQ (rawOut.samples[ch].size(), frames);
        ASSERT_EQ (compOut.samples[ch].size(), frames);
        EXPECT_EQ (countDifferences (rawOut.samples[ch], expected[ch]), 0u) << "channel " << ch;
        // Compensated: the same engine output, read `latency` frames later, to the input's length.
        EXPECT_EQ (countDifferences (compOut.samples[ch], expected[ch], (size_t) latency), 0u) << "channel " << ch;
        // The raw file starts with the lookahead's silence.
        for (int i = 0; i < latency; ++i)
            ASSERT_EQ (rawOut.samples[ch][(size_t) i], 0.0f);
    }
}

INSTANTIATE_TEST_SUITE_P (Files, RenderMatchesEngine,
                          ::testing::Values (EngineCase { "stereo_44k1", 44100.0, 2, "-1.0" },
                                             EngineCase { "mono_48k", 48000.0, 1, "-3.456" },
                                             EngineCase { "stereo_96k_default", 96000.0, 2, "-0.1" }),
                          [] (const auto& p) { return std::string (p.param.name); });

struct FormatCase
{
    const char* name;
    const char* extension;
    int bits;
    bool isFloat;
    int channels;
    double rate;
};

void PrintTo (const FormatCase& c, std::ostream* os) { *os << c.name; }

class RenderOff : public RenderTest, public ::testing::WithParamInterface<FormatCase>
{
};

// Switched off, the processor passes the audio untouched and undelayed, so the file comes
// back with exactly the stored values, in its own format and depth.
TEST_P (RenderOff, ReturnsTheInputUnchangedInItsOwnFormat)
{
    const auto& c = GetParam();
    const auto input = music (c.rate, (size_t) (c.rate * 0.5), c.channels, c.isFloat ? 2.0 : 0.9);
    const auto inName = std::string ("in.") + c.extension, outName = std::string ("out.") + c.extension;
    writeSound (dir.getChildFile (inName), input, c.rate, c.bits, c.isFloat);

    const auto r = run ({ "--off", path (inName.c_str()), path (outName.c_str()) });
    ASSERT_EQ (r.status, 0) << r.err;

    const auto in = readSound (dir.getChildFile (inName));
    const auto out = readSound (dir.getChildFile (outName));
    EXPECT_EQ (out.format, in.format);
    EXPECT_EQ (out.rate, in.rate);
    EXPECT_EQ (out.bits, in.bits);
    EXPECT_EQ (out.isFloat, in.isFloat);
    ASSERT_EQ (out.stored.size(), in.stored.size());
    for (size_t ch = 0; ch < in.stored.size(); ++ch)
        EXPECT_EQ (out.stored[ch], in.stored[ch]) << "channel " << ch;
}

INSTANTIATE_TEST_SUITE_P (Formats, RenderOff,
                          ::testing::Values (FormatCase { "wav16_stereo", "wav", 16, false, 2, 44100.0 },
                                             FormatCase { "wav24_mono", "wav", 24, false, 1, 48000.0 },
                                             FormatCase { "wav8_stereo", "wav", 8, false, 2, 22050.0 },
                                             FormatCase { "wav_float_overs", "wav", 32, true, 2, 88200.0 },
                                             FormatCase { "aiff16_stereo", "aiff", 16, false, 2, 44100.0 },
                                             FormatCase { "aiff24_mono", "aiff", 24, false, 1, 96000.0 },
                                             FormatCase { "flac16_stereo", "flac", 16, false, 2, 44100.0 },
                                             FormatCase { "flac24_mono", "flac", 24, false, 1, 48000.0 }),
                          [] (const auto& p) { return std::string (p.param.name); });

TEST_F (RenderTest, LimitedFileKeepsTheFormatUnlessFloatIsAsked)
{
    const auto input = music (44100.0, 30000, 2, 0.95);
    writeSound (dir.getChildFile ("in.aiff"), input, 44100.0, 24, false);

    ASSERT_EQ (run ({ "--level", "-2", path ("in.aiff"), path ("same.aiff") }).status, 0);
    const auto same = readSound (dir.getChildFile ("same.aiff"));
    EXPECT_EQ (same.format, "AIFF file");
    EXPECT_EQ (same.bits, 24);
    EXPECT_FALSE (same.isFloat);
    EXPECT_EQ (same.samples[0].size(), 30000u);

    // The output's name picks the container; --float the sample type.
    ASSERT_EQ (run ({ "--float", path ("in.aiff"), path ("float.wav") }).status, 0);
    const auto asFloat = readSound (dir.getChildFile ("float.wav"));
    EXPECT_EQ (asFloat.format, "WAV file");
    EXPECT_TRUE (asFloat.isFloat);
    EXPECT_EQ (asFloat.bits, 32);

    // Integer output is the float result rounded to the nearest step, not truncated.
    ASSERT_EQ (run ({ "--float", "--level", "-2", path ("in.aiff"), path ("ref.wav") }).status, 0);
    const auto reference = readSound (dir.getChildFile ("ref.wav"));
    for (size_t i = 0; i < 30000; ++i)
        ASSERT_EQ (same.stored[0][i], (int) ((juce::int64) std::nearbyint ((double) reference.samples[0][i] * 8388608.0) * 256))
            << "frame " << i;
}

TEST_F (RenderTest, BlockSizeDoesNotChangeTheFile)
{
    writeSound (dir.getChildFile ("in.wav"), music (44100.0, 50000, 2), 44100.0, 32, true);
    juce::MemoryBlock first;
    for (const char* block : { "1", "64", "512", "4096", "1323" })
    {
        const auto out = std::string ("out-") + block + ".wav";
        ASSERT_EQ (run ({ "--block", block, path ("in.wav"), path (out.c_str()) }).status, 0);
        juce::MemoryBlock bytes;
        ASSERT_TRUE (dir.getChildFile (out).loadFileAsData (bytes));
        if (first.isEmpty())
            first = bytes;
        else
            EXPECT_TRUE (bytes == first) << "block size " << block;
    }
}

TEST_F (RenderTest, JsonReportIsOneLineWithTheFigures)
{
    const double rate = 48000.0;
    const auto input = music (rate, 40000, 2, 2.0);
    writeSound (dir.getChildFile ("in.wav"), input, rate, 32, true);
    const auto r = run ({ "--json", "--level", "-1.5", path ("in.wav"), path ("out.wav") });
    ASSERT_EQ (r.status, 0) << r.err;
    EXPECT_TRUE (r.err.empty());
    ASSERT_EQ (std::count (r.out.begin(), r.out.end(), '\n'), 1);

    const auto report = parseJson (r.out);
    ASSERT_TRUE (report.isObject()) << r.out;
    const auto peakOf = [] (const Channels& c)
    {
        float peak = 0.0f;
        for (auto& channel : c)
            for (float v : channel)
                peak = std::max (peak, std::fabs (v));
        return 20.0 * std::log10 ((double) peak);
    };
    const auto output = readSound (dir.getChildFile ("out.wav"));
    const double inSample = report["input"]["sample_peak_dbfs"], inTrue = report["input"]["true_peak_dbtp"];
    const double outSample = report["output"]["sample_peak_dbfs"], outTrue = report["output"]["true_peak_dbtp"];
    EXPECT_NEAR (inSample, peakOf (input), 1.0e-3);
    EXPECT_NEAR (outSample, peakOf (output.samples), 1.0e-3);
    EXPECT_GE (inTrue, inSample);
    EXPECT_GE (outTrue, outSample);
    EXPECT_GT ((double) report["max_gain_reduction_db"], 3.0);
    EXPECT_EQ ((double) report["level_db"], (double) -1.5f);
    EXPECT_EQ ((int) report["latency_samples"], 1440);
    EXPECT_EQ ((int) report["frames"], 40000);
    EXPECT_GT ((double) report["realtime_factor"], 0.0);

    // 17 significant digits carry the single-precision level exactly.
    EXPECT_NE (r.out.find ("\"level_db\":-1.5,"), std::string::npos);
}

TEST_F (RenderTest, SilentFileReportsMinusInfinityAsNull)
{
    writeSound (dir.getChildFile ("in.wav"), Channels (2, std::vector<float> (4000, 0.0f)), 44100.0, 16, false);
    const auto r = run ({ "--json", path ("in.wav"), path ("out.wav") });
    ASSERT_EQ (r.status, 0) << r.err;
    const auto report = parseJson (r.out);
    ASSERT_TRUE (report.isObject()) << r.out;
    EXPECT_TRUE (report["input"]["sample_peak_dbfs"].isVoid());
    EXPECT_EQ ((double) report["max_gain_reduction_db"], 0.0);
}

TEST_F (RenderTest, PlotIsAPictureOfTheRender)
{
    writeSound (dir.getChildFile ("in.flac"), music (44100.0, 44100, 2, 0.99), 44100.0, 16, false);
    const auto r = run ({ "--plot", path ("plot.png"), path ("in.flac"), path ("out.flac") });
    ASSERT_EQ (r.status, 0) << r.err;
    EXPECT_NE (r.out.find ("plot.png"), std::string::npos);

    const auto image = juce::ImageFileFormat::loadFrom (dir.getChildFile ("plot.png"));
    ASSERT_TRUE (image.isValid());
    EXPECT_EQ (image.getWidth(), 1600);
    EXPECT_EQ (image.getHeight(), 900);
    // Amber output envelope in the waveform panel, somewhere along its middle row.
    bool amber = false;
    for (int x = 100; x < 1500 && ! amber; ++x)
    {
        const auto p = image.getPixelAt (x, 330);
        amber = p.getRed() > 200 && p.getGreen() > 100 && p.getBlue() < 120;
    }
    EXPECT_TRUE (amber);
}

struct BadCase
{
    const char* name;
    std::function<std::vector<std::string> (RenderTest&)> setup;
    const char* message;
};

void PrintTo (const BadCase& c, std::ostream* os) { *os << c.name; }

class RenderRefuses : public RenderTest, public ::testing::WithParamInterface<BadCase>
{
};

// Each refusal is one line on standard error, a non-zero status, and no file: neither the
// output, nor a partial one, nor a changed existing one.
TEST_P (RenderRefuses, WithOneClearLineAndNoFile)
{
    const auto& c = GetParam();
    writeSound (dir.getChildFile ("good.wav"), music (44100.0, 2000, 2, 0.9), 44100.0, 16, false);
    dir.getChildFile ("existing.wav").replaceWithText ("keep me");
    const auto args = c.setup (*this);
    const auto before = listing();

    const auto r = run (args);
    EXPECT_NE (r.status, 0);
    EXPECT_TRUE (r.out.empty()) << r.out;
    EXPECT_EQ (std::count (r.err.begin(), r.err.end(), '\n'), 1) << r.err;
    EXPECT_EQ (r.err.rfind ("orvan-render: ", 0), 0u) << r.err;
    EXPECT_NE (r.err.find (c.message), std::string::npos) << r.err;
    EXPECT_EQ (listing(), before);
    EXPECT_EQ (dir.getChildFile ("existing.wav").loadFileAsString(), "keep me");
}

std::vector<BadCase> badCases()
{
    const auto withFile = [] (const char* name, std::function<void (const juce::File&)> make, std::vector<std::string> extra = {})
    {
        return [=] (RenderTest& t)
        {
            make (t.dir.getChildFile (name));
            auto args = extra;
            args.push_back (t.dir.getChildFile (name).getFullPathName().toStdString());
            args.push_back (t.dir.getChildFile ("out.wav").getFullPathName().toStdString());
            return args;
        };
    };
    const auto good = [] (std::vector<std::string> before, const char* output = "out.wav")
    {
        return [=] (RenderTest& t)
        {
            auto args = before;
            args.push_back (t.dir.getChildFile ("good.wav").getFullPathName().toStdString());
            args.push_back (t.dir.getChildFile (output).getFullPathName().toStdString());
            return args;
        };
    };
    const auto tone = [] (double rate, int channels, int frames)
    {
        return [=] (const juce::File& f) { writeSound (f, Channels ((size_t) channels, std::vector<float> ((size_t) frames, 0.25f)), rate, 16, false); };
    };

    return {
        { "missing_input", withFile ("nothing.wav", [] (const juce::File&) {}), "no such file" },
        { "input_is_a_folder", withFile ("folder.wav", [] (const juce::File& f) { f.createDirectory(); }), "is a folder" },
        { "not_a_sound_file", withFile ("text.wav", [] (const juce::File& f) { f.replaceWithText ("not audio at all\n"); }), "not a WAV, AIFF or FLAC" },
        { "empty_sound_file", withFile ("empty.wav", tone (44100.0, 2, 0)), "holds no audio" },
        { "rate_below_100_hz", withFile ("slow.wav", tone (99.0, 1, 500)), "below the 100 Hz" },
        { "three_channels", withFile ("three.wav", tone (44100.0, 3, 500)), "has 3 channels" },
        { "float_into_aiff",
          [] (RenderTest& t) { return std::vector<std::string> { "--float", t.path ("good.wav"), t.path ("out.aiff") }; },
          "cannot hold 32-bit float" },
        { "output_is_the_input", good ({}, "good.wav"), "is the input file" },
        { "output_is_the_input_by_another_path",
          [] (RenderTest& t)
          {
              t.dir.getChildFile ("sub").createDirectory();
              return std::vector<std::string> { t.path ("good.wav"), t.dir.getFullPathName().toStdString() + "/./sub/../good.wav" };
          },
          "is the input file" },
        { "output_is_a_link_to_the_input",
          [] (RenderTest& t)
          {
              t.dir.getChildFile ("good.wav").createSymbolicLink (t.dir.getChildFile ("link.wav"), true);
              return std::vector<std::string> { t.path ("good.wav"), t.path ("link.wav") };
          },
          "is the input file" },
        { "output_is_a_folder", [] (RenderTest& t) { t.dir.getChildFile ("outdir").createDirectory(); return std::vector<std::string> { t.path ("good.wav"), t.path ("outdir") }; }, "is a folder" },
        { "output_folder_missing", good ({}, "no/such/dir/out.wav"), "folder does not exist" },
        { "bad_input_keeps_existing_output",
          [] (RenderTest& t) { return std::vector<std::string> { t.path ("nothing.wav"), t.path ("existing.wav") }; },
          "no such file" },
        { "plot_is_the_output", [] (RenderTest& t) { return std::vector<std::string> { "--plot", t.path ("out.wav"), t.path ("good.wav"), t.path ("out.wav") }; }, "give the picture its own name" },
        { "level_above_range", good ({ "--level", "0.5" }), "outside the range -6.0 to 0.0 dB" },
        { "level_below_range", good ({ "--level", "-6.01" }), "outside the range" },
        { "level_not_a_number", good ({ "--level", "loud" }), "not a number" },
        { "level_with_trailing_text", good ({ "--level", "-1dB" }), "not a number" },
        { "level_nan", good ({ "--level", "nan" }), "not a number" },
        { "level_without_value", [] (RenderTest& t) { return std::vector<std::string> { t.path ("good.wav"), t.path ("out.wav"), "--level" }; }, "needs a value" },
        { "block_zero", good ({ "--block", "0" }), "not a block size" },
        { "block_fraction", good ({ "--block", "1.5" }), "not a block size" },
        { "unknown_option", good ({ "--loud" }), "unknown option" },
        { "flag_with_value", good ({ "--off=yes" }), "takes no value" },
        { "one_file_only", [] (RenderTest& t) { return std::vector<std::string> { t.path ("good.wav") }; }, "needs an INPUT and an OUTPUT" },
        { "three_files", [] (RenderTest& t) { return std::vector<std::string> { t.path ("good.wav"), t.path ("a.wav"), t.path ("b.wav") }; }, "one too many" },
    };
}

INSTANTIATE_TEST_SUITE_P (BadInput, RenderRefuses, ::testing::ValuesIn (badCases()),
                          [] (const auto& p) { return std::string (p.param.name); });

TEST_F (RenderTest, UnreadableInputIsRefused)
{
    if (::geteuid() == 0)
        GTEST_SKIP() << "root reads every file";
    writeSound (dir.getChildFile ("locked.wav"), music (44100.0, 2000, 2, 0.9), 44100.0, 16, false);
    ::chmod (dir.getChildFile ("locked.wav").getFullPathName().toRawUTF8(), 0);
    const auto r = run ({ path ("locked.wav"), path ("out.wav") });
    EXPECT_NE (r.status, 0);
    EXPECT_NE (r.err.find ("cannot be read"), std::string::npos) << r.err;
    EXPECT_FALSE (dir.getChildFile ("out.wav").exists());
}

TEST (RenderTruePeak, ReadsThePeaksBetweenTheSamples)
{
    // A quarter-rate sine whose samples fall 45 degrees off its crests reads 3 dB low on
    // samples alone; sampled on its crests both readings agree. Faded in and out, because
    // an abrupt start or end really does overshoot between the samples.
    for (const double phase : { M_PI / 4.0, M_PI / 2.0 })
    {
        orvan::render::PeakMeter meter (1);
        for (int i = 0; i < 4800; ++i)
        {
            const double fade = std::min ({ 1.0, i / 1200.0, (4799 - i) / 1200.0 });
            meter.add (0, (float) (0.5 * fade * std::sin (M_PI / 2.0 * i + phase)));
        }
        meter.finish();
        EXPECT_NEAR (orvan::render::toDecibels (meter.truePeak()), -6.0206, 0.01) << "phase " << phase;
        EXPECT_NEAR (orvan::render::toDecibels (meter.samplePeak()), phase == M_PI / 2.0 ? -6.0206 : -9.0309, 0.01);
    }
}

// The binary itself: the report on standard output, nothing else on standard error when it
// is not a terminal, and an interrupt that removes the partial file.
class RenderBinary : public RenderTest
{
protected:
    pid_t start (const std::vector<std::string>& args, const juce::File& stdoutFile, const juce::File& stderrFile)
    {
        const pid_t pid = ::fork();
        if (pid == 0)
        {
            std::freopen (stdoutFile.getFullPathName().toRawUTF8(), "w", stdout);
            std::freopen (stderrFile.getFullPathName().toRawUTF8(), "w", stderr);
            std::vector<char*> argv;
            argv.push_back (const_cast<char*> (ORVAN_RENDER_BINARY));
            for (auto& a : args)
                argv.push_back (const_cast<char*> (a.c_str()));
            argv.push_back (nullptr);
            ::execv (ORVAN_RENDER_BINARY, argv.data());
            ::_exit (127);
        }
        return pid;
    }
};

TEST_F (RenderBinary, PrintsJsonAndExitsCleanly)
{
    auto io = scratchFolder ("orvan-render-io");
    ASSERT_TRUE (io.createDirectory());
    writeSound (dir.getChildFile ("in.wav"), music (44100.0, 20000, 2), 44100.0, 16, false);
    const pid_t pid = start ({ "--json", path ("in.wav"), path ("out.wav") }, io.getChildFile ("out"), io.getChildFile ("err"));
    int status = 0;
    ASSERT_EQ (::waitpid (pid, &status, 0), pid);
    EXPECT_TRUE (WIFEXITED (status) && WEXITSTATUS (status) == 0);
    EXPECT_TRUE (parseJson (io.getChildFile ("out").loadFileAsString().toStdString()).isObject());
    EXPECT_EQ (io.getChildFile ("err").loadFileAsString(), "");
    io.deleteRecursively();
}

TEST_F (RenderBinary, InterruptRemovesThePartialFileAndKeepsTheOldOne)
{
    auto io = scratchFolder ("orvan-render-io");
    ASSERT_TRUE (io.createDirectory());
    // Long enough, with one-frame blocks, that the render is still running when it is stopped.
    writeSound (dir.getChildFile ("in.wav"), music (48000.0, 48000 * 60, 2), 48000.0, 16, false);
    dir.getChildFile ("out.wav").replaceWithText ("the previous render");

    const pid_t pid = start ({ "--block", "1", path ("in.wav"), path ("out.wav") }, io.getChildFile ("out"), io.getChildFile ("err"));
    bool partialSeen = false;
    for (int i = 0; i < 20000 && ! partialSeen; ++i)
    {
        for (const auto& name : listing())
            partialSeen = partialSeen || name.endsWith (".partial");
        if (! partialSeen)
            std::this_thread::sleep_for (std::chrono::milliseconds (1));
    }
    EXPECT_TRUE (partialSeen);
    std::this_thread::sleep_for (std::chrono::milliseconds (50));
    ::kill (pid, SIGTERM);
    int status = 0;
    ASSERT_EQ (::waitpid (pid, &status, 0), pid);
    EXPECT_TRUE (WIFSIGNALED (status) && WTERMSIG (status) == SIGTERM) << "the render had already finished";
    EXPECT_EQ (listing(), juce::StringArray ({ "in.wav", "out.wav" }));
    EXPECT_EQ (dir.getChildFile ("out.wav").loadFileAsString(), "the previous render");
    io.deleteRecursively();
}
} // namespace
