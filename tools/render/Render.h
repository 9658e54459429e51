#pragma once

#include <juce_core/juce_core.h>

#include <functional>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

// orvan-render: limits a sound file with the plug-in's own processor, driven exactly as a
// host drives it (created by the factory, parameters set through their objects as
// automation does, prepared at the file's rate, fed in host-sized single-precision blocks).
namespace orvan::render
{
struct Options
{
    juce::File input, output;
    std::optional<double> levelDb;      // absent: the parameter's default
    bool enabled = true;
    bool keepLatency = false;
    int blockSize = 512;
    bool floatOutput = false;
    std::optional<juce::File> plot;
    bool json = false;
    bool help = false;
};

// Parses the arguments after the program name. On failure returns the one-line message.
std::optional<Options> parseArguments (const std::vector<std::string>& args, std::string& error);

struct Levels
{
    double samplePeakDbfs = 0.0;
    double truePeakDbtp = 0.0;
};

struct Report
{
    Levels input, output;
    double maxGainReductionDb = 0.0;
    double levelDb = 0.0;             // the level as the parameter holds it, widened
    bool enabled = true;
    int latencySamples = 0;           // the delay the processor put on the audio
    bool compensated = false;         // true when that delay was taken out of the file
    juce::int64 frames = 0;
    double sampleRate = 0.0;
    int numChannels = 0;
    juce::String outputFormat;        // e.g. "16-bit WAV"
    double seconds = 0.0;             // wall time of the render
    double realtimeFactor = 0.0;
};

// Called with the fraction done, 0 to 1, at most a few hundred times per render.
using Progress = std::function<void (double)>;

// Renders as the options say. Returns the report, or a one-line error (and leaves no output
// file behind, nor touches an existing one).
std::optional<Report> render (const Options& options, std::string& error, const Progress& progress = {});

std::string formatJson (const Report& report);
std::string formatHuman (const Report& report, const Options& options);
std::string usage();

// The whole tool: parses, renders, prints the report on `out` and any error on `err`, and
// returns the exit status.
int runCommandLine (const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
                    const Progress& progress = {});

// SIGINT and SIGTERM remove the partial file being written, then end the process.
void installInterruptHandlers();
} // namespace orvan::render
