#include "Render.h"

#include "Plot.h"
#include "TruePeak.h"

#include <juce_audio_formats/juce_audio_formats.h>
#include <juce_audio_processors/juce_audio_processors.h>

#include <cerrno>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <limits>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

namespace orvan::render
{
namespace
{
constexpr double minimumRate = 100.0;
constexpr int maximumBlockSize = 1 << 20;

// The partial files being written, for the interrupt handler: fixed buffers, because a
// signal handler may only call async-signal-safe functions.
struct PendingFiles
{
    static constexpr int count = 2;
    static constexpr size_t pathLength = 4096;
    char paths[count][pathLength] {};
    volatile std::sig_atomic_t armed[count] {};
};
PendingFiles pending;

extern "C" void removePartialFilesAndExit (int signalNumber)
{
    for (int i = 0; i < PendingFiles::count; ++i)
        if (pending.armed[i])
            ::unlink (pending.paths[i]);
    std::signal (signalNumber, SIG_DFL);
    std::raise (signalNumber);
}

// Lends a stream to a writer, which insists on owning one: the file stream stays ours,
// so its status can still be read after the writer has finished the header.
class StreamView : public juce::OutputStream
{
public:
    explicit StreamView (juce::FileOutputStream& target_) : target (target_) {}
    void flush() override { target.flush(); }
    bool setPosition (juce::int64 position) override { return target.setPosition (position); }
    juce::int64 getPosition() override { return target.getPosition(); }
    bool write (const void* data, size_t numBytes) override { return target.write (data, numBytes); }

private:
    juce::FileOutputStream& target;
};

// A file written beside its target and renamed into place only when complete, so that
// a failure or an interrupt never leaves a truncated file or damages an existing one.
class PartialFile
{
public:
    explicit PartialFile (int slot_) : slot (slot_) {}
    ~PartialFile() { discard(); }

    bool create (const juce::File& target_, std::string& error)
    {
        target = target_;
        const auto dir = target.getParentDirectory();
        for (int attempt = 0; attempt < 100; ++attempt)
        {
            const auto name = "." + target.getFileName() + ".orvan-" + juce::String ((int) ::getpid())
                              + "-" + juce::String (attempt) + ".partial";
            const auto candidate = dir.getChildFile (name);
            const auto path = candidate.getFullPathName().toStdString();
            if (path.size() >= PendingFiles::pathLength)
                break;

            std::memcpy (pending.paths[slot], path.c_str(), path.size() + 1);
            pending.armed[slot] = 1;
            const int fd = ::open (path.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0666);
            if (fd >= 0)
            {
                ::close (fd);
                file = candidate;
                return true;
            }
            pending.armed[slot] = 0;
            if (errno != EEXIST)
            {
                error = target.getFullPathName().toStdString() + ": cannot write in its folder ("
                        + std::strerror (errno) + ")";
                return false;
            }
        }
        error = target.getFullPathName().toStdString() + ": cannot create a temporary file beside it";
        return false;
    }

    const juce::File& getFile() const { return file; }

    bool commit (std::string& error)
    {
        if (std::rename (file.getFullPathName().toRawUTF8(), target.getFullPathName().toRawUTF8()) != 0)
        {
            error = target.getFullPathName().toStdString() + ": cannot move the finished file into place ("
                    + std::strerror (errno) + ")";
            return false;
        }
        pending.armed[slot] = 0;
        file = juce::File();
        return true;
    }

    void discard()
    {
        if (file != juce::File())
            ::unlink (file.getFullPathName().toRawUTF8());
        pending.armed[slot] = 0;
        file = juce::File();
    }

private:
    int slot;
    juce::File target, file;
};

std::string quoted (const juce::File& f)
{
    return f.getFullPathName().toStdString();
}

// The path with every symbolic link resolved; for a file that does not exist yet, its
// folder's resolved path and its name.
std::string canonicalPath (const juce::File& f)
{
    if (char* resolved = ::realpath (f.getFullPathName().toRawUTF8(), nullptr))
    {
        std::string result (resolved);
        std::free (resolved);
        return result;
    }
    if (char* resolved = ::realpath (f.getParentDirectory().getFullPathName().toRawUTF8(), nullptr))
    {
        std::string result (resolved);
        std::free (resolved);
        return result + "/" + f.getFileName().toStdString();
    }
    return f.getFullPathName().toStdString();
}

bool sameFile (const juce::File& a, const juce::File& b)
{
    struct stat sa, sb;
    if (::stat (a.getFullPathName().toRawUTF8(), &sa) == 0 && ::stat (b.getFullPathName().toRawUTF8(), &sb) == 0)
        return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
    return canonicalPath (a) == canonicalPath (b);
}

// A file path that the tool may write: not a folder, in a folder that exists, and not
// one of the files it reads.
bool checkWritablePath (const juce::File& f, const juce::File& input, std::string& error)
{
    if (f.isDirectory())
    {
        error = quoted (f) + ": is a folder, not a file name";
        return false;
    }
    if (! f.getParentDirectory().isDirectory())
    {
        error = quoted (f) + ": the folder does not exist";
        return false;
    }
    if (sameFile (f, input))
    {
        error = quoted (f) + ": is the input file; write the result under another name";
        return false;
    }
    return true;
}

bool parseNumber (const std::string& text, double& value)
{
    if (text.empty() || std::isspace ((unsigned char) text.front()))
        return false;
    char* end = nullptr;
    errno = 0;
    value = std::strtod (text.c_str(), &end);
    return end == text.c_str() + text.size() && errno == 0 && std::isfinite (value);
}

juce::RangedAudioParameter* findParameter (juce::AudioProcessor& processor, const juce::String& id)
{
    for (auto* parameter : processor.getParameters())
        if (auto* ranged = dynamic_cast<juce::RangedAudioParameter*> (parameter))
            if (ranged->getParameterID() == id)
                return ranged;
    return nullptr;
}

// As a host's automation writes a parameter: one gesture, one normalised value.
void automate (juce::RangedAudioParameter& parameter, float normalisedValue)
{
    parameter.beginChangeGesture();
    parameter.setValueNotifyingHost (normalisedValue);
    parameter.endChangeGesture();
}

std::string formatNumber (double value, const char* format)
{
    char text[64];
    std::snprintf (text, sizeof (text), format, value);
    return text;
}

std::string jsonNumber (double value, const char* format = "%.4f")
{
    return std::isfinite (value) ? formatNumber (value, format) : "null";
}

std::string dbText (double value, const char* unit)
{
    if (! std::isfinite (value))
        return std::string ("  -inf ") + unit;
    return formatNumber (value, "%+6.2f ") + unit;
}

// The output's sample encoding: integer samples are rounded to the nearest step
// (ties to even) and kept within range, so a sample that came from a file of the same
// depth returns to exactly its old value.
struct Encoding
{
    int bits = 16;
    bool isFloat = false;

    double scale() const { return std::ldexp (1.0, bits - 1); }

    // Returns the 32-bit left-aligned integer the writers take, and the value as stored.
    int encode (float sample, float& stored) const
    {
        const double s = scale();
        double q = std::isnan (sample) ? 0.0 : std::nearbyint ((double) sample * s);
        q = juce::jlimit (-s, s - 1.0, q);
        stored = (float) (q / s);
        return (int) ((juce::int64) q * ((juce::int64) 1 << (32 - bits)));
    }
};
} // namespace

std::string usage()
{
    return "usage: orvan-render [options] INPUT OUTPUT\n"
           "Limits a WAV, AIFF or FLAC file with the Orvan peak limiter.\n"
           "\n"
           "  --level DB       ceiling, -6.0 to 0.0 dB (default -0.1)\n"
           "  --off            switch the limiter off: the audio passes untouched\n"
           "  --keep-latency   keep the 30 ms lookahead delay in the output\n"
           "  --block N        host block size in frames (default 512)\n"
           "  --float          write 32-bit float samples (WAV)\n"
           "  --plot FILE.png  draw the waveforms and the gain reduction\n"
           "  --json           print the report as one line of JSON\n"
           "  -h, --help       show this help\n";
}

std::optional<Options> parseArguments (const std::vector<std::string>& args, std::string& error)
{
    Options options;
    std::vector<std::string> positional;
    bool optionsEnded = false;

    for (size_t i = 0; i < args.size(); ++i)
    {
        std::string arg = args[i];
        if (optionsEnded || arg.empty() || arg[0] != '-' || arg == "-")
        {
            positional.push_back (arg);
            continue;
        }
        if (arg == "--")
        {
            optionsEnded = true;
            continue;
        }

        std::string value;
        bool hasInlineValue = false;
        if (const auto eq = arg.find ('='); arg.rfind ("--", 0) == 0 && eq != std::string::npos)
        {
            value = arg.substr (eq + 1);
            arg = arg.substr (0, eq);
            hasInlineValue = true;
        }

        const auto takeValue = [&] (std::string& out) -> bool
        {
            if (hasInlineValue)
            {
                out = value;
                return true;
            }
            if (i + 1 >= args.size())
            {
                error = arg + ": needs a value";
                return false;
            }
            out = args[++i];
            return true;
        };
        const auto noValue = [&]() -> bool
        {
            if (hasInlineValue)
                error = arg + ": takes no value";
            return ! hasInlineValue;
        };

        if (arg == "--level")
        {
            std::string text;
            if (! takeValue (text))
                return std::nullopt;
            double level = 0.0;
            if (! parseNumber (text, level))
            {
                error = "--level: '" + text + "' is not a number of dB";
                return std::nullopt;
            }
            if (level < -6.0 || level > 0.0)
            {
                error = "--level: " + text + " dB is outside the range -6.0 to 0.0 dB";
                return std::nullopt;
            }
            options.levelDb = level;
        }
        else if (arg == "--block")
        {
            std::string text;
            if (! takeValue (text))
                return std::nullopt;
            double size = 0.0;
            if (! parseNumber (text, size) || size != std::floor (size) || size < 1 || size > maximumBlockSize)
            {
                error = "--block: '" + text + "' is not a block size from 1 to " + std::to_string (maximumBlockSize);
                return std::nullopt;
            }
            options.blockSize = (int) size;
        }
        else if (arg == "--plot")
        {
            std::string text;
            if (! takeValue (text))
                return std::nullopt;
            if (text.empty())
            {
                error = "--plot: needs a file name";
                return std::nullopt;
            }
            options.plot = juce::File::getCurrentWorkingDirectory().getChildFile (text);
        }
        else if (arg == "--off" || arg == "--keep-latency" || arg == "--float" || arg == "--json"
                 || arg == "--help" || arg == "-h")
        {
            if (! noValue())
                return std::nullopt;
            if (arg == "--off")
                options.enabled = false;
            else if (arg == "--keep-latency")
                options.keepLatency = true;
            else if (arg == "--float")
                options.floatOutput = true;
            else if (arg == "--json")
                options.json = true;
            else
                options.help = true;
        }
        else
        {
            error = arg + ": unknown option (see --help)";
            return std::nullopt;
        }
    }

    if (options.help)
        return options;

    if (positional.size() != 2)
    {
        error = positional.size() < 2 ? "needs an INPUT and an OUTPUT file (see --help)"
                                      : "takes one INPUT and one OUTPUT file; '" + positional[2] + "' is one too many";
        return std::nullopt;
    }
    for (const auto& p : positional)
        if (p.empty())
        {
            error = "a file name is empty";
            return std::nullopt;
        }

    const auto cwd = juce::File::getCurrentWorkingDirectory();
    options.input = cwd.getChildFile (positional[0]);
    options.output = cwd.getChildFile (positional[1]);
    return options;
}

std::optional<Report> render (const Options& options, std::string& error, const Progress& progress)
{
    const auto& input = options.input;

    // The input: a readable sound file that the processor can take.
    if (! input.exists())
    {
        error = quoted (input) + ": no such file";
        return std::nullopt;
    }
    if (input.isDirectory())
    {
        error = quoted (input) + ": is a folder, not a sound file";
        return std::nullopt;
    }
    if (::access (input.getFullPathName().toRawUTF8(), R_OK) != 0)
    {
        error = quoted (input) + ": cannot be read (" + std::strerror (errno) + ")";
        return std::nullopt;
    }

    juce::AudioFormatManager formats;
    formats.registerBasicFormats();
    std::unique_ptr<juce::AudioFormatReader> reader (formats.createReaderFor (input));
    if (reader == nullptr)
    {
        error = quoted (input) + ": not a WAV, AIFF or FLAC file that can be read";
        return std::nullopt;
    }

    const double rate = reader->sampleRate;
    const int numChannels = (int) reader->numChannels;
    const juce::int64 frames = reader->lengthInSamples;
    if (! (rate >= minimumRate) || ! std::isfinite (rate))
    {
        error = quoted (input) + ": sample rate " + formatNumber (rate, "%g") + " Hz is below the 100 Hz the limiter needs";
        return std::nullopt;
    }
    if (numChannels < 1 || numChannels > 2)
    {
        error = quoted (input) + ": has " + std::to_string (numChannels) + " channels; only mono and stereo files can be limited";
        return std::nullopt;
    }
    if (frames <= 0)
    {
        error = quoted (input) + ": holds no audio";
        return std::nullopt;
    }

    // Where the result goes, and in which format.
    if (! checkWritablePath (options.output, input, error))
        return std::nullopt;
    if (options.plot)
    {
        if (! checkWritablePath (*options.plot, input, error))
            return std::nullopt;
        if (sameFile (*options.plot, options.output))
        {
            error = quoted (*options.plot) + ": is also the OUTPUT file; give the picture its own name";
            return std::nullopt;
        }
    }

    juce::AudioFormat* format = formats.findFormatForFileExtension (options.output.getFileExtension());
    if (format == nullptr)
        for (int i = 0; i < formats.getNumKnownFormats(); ++i)
            if (formats.getKnownFormat (i)->getFormatName() == reader->getFormatName())
                format = formats.getKnownFormat (i);
    if (format == nullptr)
    {
        error = quoted (options.output) + ": no writable format for this file name (use .wav, .aiff or .flac)";
        return std::nullopt;
    }

    Encoding encoding;
    encoding.isFloat = options.floatOutput || reader->usesFloatingPointData;
    encoding.bits = encoding.isFloat ? 32 : (int) reader->bitsPerSample;
    const bool formatHoldsFloat = format->getFormatName() == juce::WavAudioFormat().getFormatName();
    if ((encoding.isFloat && ! formatHoldsFloat)
        || (! encoding.isFloat && encoding.bits == 32 && formatHoldsFloat)
        || ! format->getPossibleBitDepths().contains (encoding.bits))
    {
        const auto depth = encoding.isFloat ? std::string ("32-bit float") : std::to_string (encoding.bits) + "-bit integer";
        error = quoted (options.output) + ": " + format->getFormatName().upToFirstOccurrenceOf (" ", false, false).toStdString() + " files cannot hold "
                + depth + " samples" + (encoding.isFloat ? "; write a .wav file" : "; try --float with a .wav file");
        return std::nullopt;
    }

    // The processor, created and set up as a host sets up an insert.
    std::unique_ptr<juce::AudioProcessor> processor (createPluginFilter());
    auto* enable = findParameter (*processor, "dbEnable");
    auto* level = dynamic_cast<juce::AudioParameterFloat*> (findParameter (*processor, "dbMain"));
    if (enable == nullptr || level == nullptr)
    {
        error = "the processor lacks its parameters";
        return std::nullopt;
    }

    const auto channelSet = numChannels == 1 ? juce::AudioChannelSet::mono() : juce::AudioChannelSet::stereo();
    juce::AudioProcessor::BusesLayout layout;
    layout.inputBuses.add (channelSet);
    layout.outputBuses.add (channelSet);
    if (! processor->setBusesLayout (layout))
    {
        error = "the processor refuses the " + channelSet.getDescription().toStdString() + " layout";
        return std::nullopt;
    }

    automate (*enable, options.enabled ? 1.0f : 0.0f);
    if (options.levelDb)
        automate (*level, level->convertTo0to1 ((float) *options.levelDb));

    const int blockSize = options.blockSize;
    processor->setRateAndBufferSizeDetails (rate, blockSize);
    processor->prepareToPlay (rate, blockSize);

    Report report;
    report.levelDb = (double) level->get();
    report.enabled = enable->getValue() >= 0.5f;
    report.frames = frames;
    report.sampleRate = rate;
    report.numChannels = numChannels;
    report.outputFormat = (encoding.isFloat ? juce::String ("32-bit float ") : juce::String (encoding.bits) + "-bit ")
                          + format->getFormatName().upToFirstOccurrenceOf (" ", false, false);
    // Switched off, the processor passes the audio undelayed, so there is nothing to take out.
    const int latency = report.enabled ? processor->getLatencySamples() : 0;
    report.latencySamples = latency;
    report.compensated = latency > 0 && ! options.keepLatency;
    const juce::int64 skip = report.compensated ? latency : 0;
    const juce::int64 totalFrames = frames + skip;

    // The files, written beside their targets.
    PartialFile audioFile (0), plotFile (1);
    if (! audioFile.create (options.output, error))
        return std::nullopt;

    juce::FileOutputStream stream (audioFile.getFile());
    if (! stream.openedOk())
    {
        error = quoted (options.output) + ": cannot write (" + stream.getStatus().getErrorMessage().toStdString() + ")";
        return std::nullopt;
    }
    // The writer takes ownership of the view only when it is created.
    auto view = std::make_unique<StreamView> (stream);
    std::unique_ptr<juce::AudioFormatWriter> writer (
        format->createWriterFor (view.get(), rate, (unsigned int) numChannels, encoding.bits, {}, 0));
    if (writer != nullptr)
        view.release();
    else
    {
        error = quoted (options.output) + ": cannot write a " + report.outputFormat.toStdString() + " file at this rate";
        return std::nullopt;
    }

    // The file is read in large pieces whatever the host block size, so small blocks cost
    // no extra reads.
    juce::AudioBuffer<float> staging (numChannels, std::max (blockSize, 1 << 16));
    juce::int64 stagedStart = 0;
    int staged = 0;
    juce::AudioBuffer<float> buffer (numChannels, blockSize);
    juce::AudioBuffer<float> aligned (numChannels, blockSize);   // input that lines up with each output frame
    std::vector<int> encoded ((size_t) (numChannels * blockSize));
    std::vector<const int*> encodedChannels ((size_t) numChannels + 1, nullptr);
    for (int ch = 0; ch < numChannels; ++ch)
        encodedChannels[(size_t) ch] = encoded.data() + ch * blockSize;
    std::vector<std::vector<float>> delayLine ((size_t) numChannels, std::vector<float> ((size_t) latency + 1, 0.0f));
    size_t delayPos = 0;
    juce::MidiBuffer midi;

    PeakMeter inputMeter (numChannels), outputMeter (numChannels);
    double minGain = 1.0;
    std::unique_ptr<PlotData> plotData;
    if (options.plot)
        plotData = std::make_unique<PlotData> (plotColumns, frames);

    const double started = juce::Time::getMillisecondCounterHiRes();
    int lastPermille = -1;

    for (juce::int64 position = 0; position < totalFrames;)
    {
        const int n = (int) std::min<juce::int64> (blockSize, totalFrames - position);
        const int fromFile = (int) juce::jlimit<juce::int64> (0, n, frames - position);

        buffer.clear();
        if (fromFile > 0)
        {
            if (position + fromFile > stagedStart + staged)
            {
                stagedStart = position;
                staged = (int) std::min<juce::int64> (staging.getNumSamples(), frames - position);
                if (! reader->read (staging.getArrayOfWritePointers(), numChannels, stagedStart, staged))
                {
                    error = quoted (input) + ": read error at frame " + std::to_string (position);
                    return std::nullopt;
                }
            }
            for (int ch = 0; ch < numChannels; ++ch)
                buffer.copyFrom (ch, 0, staging, ch, (int) (position - stagedStart), fromFile);
        }

        for (int ch = 0; ch < numChannels; ++ch)
        {
            const float* in = buffer.getReadPointer (ch);
            float* al = aligned.getWritePointer (ch);
            auto& line = delayLine[(size_t) ch];
            size_t pos = delayPos;
            for (int i = 0; i < n; ++i)
            {
                if (i < fromFile)
                    inputMeter.add (ch, in[i]);
                line[pos] = in[i];
                pos = pos + 1 == line.size() ? 0 : pos + 1;
                al[i] = line[pos];
            }
        }
        delayPos = (delayPos + (size_t) n) % delayLine[0].size();

        juce::AudioBuffer<float> block (buffer.getArrayOfWritePointers(), numChannels, n);
        processor->processBlock (block, midi);

        // Output frames [first, n) of this block go to the file; output frame i lines up
        // with input frame position + i - latency.
        const int first = (int) juce::jlimit<juce::int64> (0, n, skip - position);
        const int count = (int) std::min<juce::int64> (n - first, frames - std::max<juce::int64> (0, position + first - skip));
        if (count > 0)
        {
            float* stored[2] {};
            float storedValues[2] {};
            for (int ch = 0; ch < numChannels; ++ch)
                stored[ch] = buffer.getWritePointer (ch, first);

            for (int i = 0; i < count; ++i)
            {
                float outLow = 0.0f, outHigh = 0.0f, inLow = 0.0f, inHigh = 0.0f;
                double gain = 1.0;
                const juce::int64 inputFrame = position + first + i - latency;
                for (int ch = 0; ch < numChannels; ++ch)
                {
                    const float raw = stored[ch][i];
                    float value = raw;
                    if (! encoding.isFloat)
                    {
                        encoded[(size_t) (ch * blockSize + i)] = encoding.encode (raw, storedValues[ch]);
                        value = storedValues[ch];
                    }
                    outputMeter.add (ch, value);

                    const float in = aligned.getReadPointer (ch)[first + i];
                    // The processor scales whole half-waves, so out / in is the gain it applied.
                    if (inputFrame >= 0 && std::fabs (in) > 1.0e-5f)
                        gain = std::min (gain, std::fabs ((double) raw / (double) in));
                    outLow = std::min (outLow, value);
                    outHigh = std::max (outHigh, value);
                    inLow = std::min (inLow, in);
                    inHigh = std::max (inHigh, in);
                }
                minGain = std::min (minGain, gain);
                if (plotData != nullptr && inputFrame >= 0)
                    plotData->add (inputFrame, inLow, inHigh, outLow, outHigh, gain);
            }

            bool written;
            if (encoding.isFloat)
            {
                written = writer->writeFromFloatArrays (const_cast<const float**> (stored), numChannels, count);
            }
            else
            {
                written = writer->write (const_cast<const int**> (encodedChannels.data()), count);
            }
            if (! written || stream.getStatus().failed())
            {
                error = quoted (options.output) + ": write error (disk full?)";
                return std::nullopt;
            }
        }

        position += n;

        if (progress)
        {
            const int permille = (int) (position * 1000 / totalFrames);
            if (permille != lastPermille)
            {
                lastPermille = permille;
                progress (permille / 1000.0);
            }
        }
    }

    processor->releaseResources();

    // The writer completes the header as it goes; only then can the file's status tell.
    writer.reset();
    stream.flush();
    if (stream.getStatus().failed())
    {
        error = quoted (options.output) + ": write error (disk full?)";
        return std::nullopt;
    }

    report.seconds = (juce::Time::getMillisecondCounterHiRes() - started) / 1000.0;
    report.realtimeFactor = report.seconds > 0.0 ? (double) frames / rate / report.seconds : 0.0;

    inputMeter.finish();
    outputMeter.finish();
    report.input = { toDecibels (inputMeter.samplePeak()), toDecibels (inputMeter.truePeak()) };
    report.output = { toDecibels (outputMeter.samplePeak()), toDecibels (outputMeter.truePeak()) };
    report.maxGainReductionDb = minGain < 1.0 && minGain > 0.0 ? -20.0 * std::log10 (minGain) : 0.0;

    if (plotData != nullptr)
    {
        if (! plotFile.create (*options.plot, error))
            return std::nullopt;
        const auto title = options.input.getFileName() + juce::String::fromUTF8 ("  \xe2\x86\x92  ") + options.output.getFileName();
        if (! writePlot (*plotData, report, title, plotFile.getFile(), error))
            return std::nullopt;
    }

    if (! audioFile.commit (error))
        return std::nullopt;
    if (plotData != nullptr && ! plotFile.commit (error))
        return std::nullopt;

    return report;
}

std::string formatJson (const Report& report)
{
    std::ostringstream s;
    const auto levels = [] (const Levels& l)
    {
        return "{\"sample_peak_dbfs\":" + jsonNumber (l.samplePeakDbfs) + ",\"true_peak_dbtp\":" + jsonNumber (l.truePeakDbtp) + "}";
    };
    s << "{\"input\":" << levels (report.input)
      << ",\"output\":" << levels (report.output)
      << ",\"max_gain_reduction_db\":" << jsonNumber (report.maxGainReductionDb)
      << ",\"level_db\":" << jsonNumber (report.levelDb, "%.17g")
      << ",\"enabled\":" << (report.enabled ? "true" : "false")
      << ",\"latency_samples\":" << report.latencySamples
      << ",\"latency_compensated\":" << (report.compensated ? "true" : "false")
      << ",\"frames\":" << report.frames
      << ",\"sample_rate\":" << jsonNumber (report.sampleRate, "%.17g")
      << ",\"channels\":" << report.numChannels
      << ",\"realtime_factor\":" << jsonNumber (report.realtimeFactor, "%.1f")
      << "}";
    return s.str();
}

std::string formatHuman (const Report& report, const Options& options)
{
    std::ostringstream s;
    const double duration = (double) report.frames / report.sampleRate;
    s << "Orvan " << options.input.getFileName() << " -> " << options.output.getFileName() << "\n"
      << "  " << formatNumber (report.sampleRate, "%g") << " Hz, " << (report.numChannels == 1 ? "mono" : "stereo")
      << ", " << report.frames << " frames (" << formatNumber (duration, "%.2f") << " s), written as "
      << report.outputFormat << "\n";
    if (report.enabled)
        s << "  level " << formatNumber (report.levelDb, "%.2f") << " dB, lookahead " << report.latencySamples
          << " samples " << (report.compensated ? "compensated" : "kept in the output") << "\n";
    else
        s << "  limiter off: audio passed untouched\n";
    s << "                sample peak     true peak\n"
      << "  input     " << dbText (report.input.samplePeakDbfs, "dBFS") << "  " << dbText (report.input.truePeakDbtp, "dBTP") << "\n"
      << "  output    " << dbText (report.output.samplePeakDbfs, "dBFS") << "  " << dbText (report.output.truePeakDbtp, "dBTP") << "\n"
      << "  max gain reduction " << formatNumber (report.maxGainReductionDb, "%.2f") << " dB\n"
      << "  rendered in " << formatNumber (report.seconds, "%.2f") << " s (" << formatNumber (report.realtimeFactor, "%.0f")
      << "x real time)\n";
    return s.str();
}

int runCommandLine (const std::vector<std::string>& args, std::ostream& out, std::ostream& err, const Progress& progress)
{
    std::string error;
    const auto options = parseArguments (args, error);
    if (! options)
    {
        err << "orvan-render: " << error << std::endl;
        return 2;
    }
    if (options->help)
    {
        out << usage();
        return 0;
    }

    const auto report = render (*options, error, progress);
    if (! report)
    {
        err << "orvan-render: " << error << std::endl;
        return 1;
    }

    if (options->json)
        out << formatJson (*report) << std::endl;
    else
    {
        out << formatHuman (*report, *options);
        out << "  output: " << options->output.getFullPathName() << "\n";
        if (options->plot)
            out << "  plot:   " << options->plot->getFullPathName() << "\n";
        out << std::flush;
    }
    return 0;
}

void installInterruptHandlers()
{
    struct sigaction action {};
    action.sa_handler = removePartialFilesAndExit;
    sigemptyset (&action.sa_mask);
    for (int signalNumber : { SIGINT, SIGTERM, SIGHUP })
    {
        // A signal the caller chose to ignore (nohup, a background job) stays ignored.
        struct sigaction previous {};
        if (::sigaction (signalNumber, nullptr, &previous) == 0 && previous.sa_handler == SIG_IGN)
            continue;
        ::sigaction (signalNumber, &action, nullptr);
    }
}
} // namespace orvan::render
