#pragma once

#include <juce_core/juce_core.h>

#include <string>
#include <vector>

namespace orvan::render
{
struct Report;

// Peak envelopes of the input and the (time-aligned) output and the gain reduction, one
// column per pixel of the picture's time axis.
class PlotData
{
public:
    PlotData (int columns, juce::int64 frames);

    // One frame: the input's and the output's largest and smallest sample over the channels,
    // and the gain (linear, 1 or less) the limiter applied to it.
    void add (juce::int64 frame, float inLow, float inHigh, float outLow, float outHigh, double gain) noexcept;

    int columns() const noexcept { return (int) inMin.size(); }

    // Gain reduction in dB (0 or more) of a column: the smallest gain in it.
    float reductionDb (int column) const noexcept;

    std::vector<float> inMin, inMax, outMin, outMax;
    std::vector<double> gain;

private:
    juce::int64 frames;
};

// Draws the picture and writes it as PNG to `file`. Returns false with a message on failure.
bool writePlot (const PlotData& data, const Report& report, const juce::String& title,
                const juce::File& file, std::string& error);

constexpr int plotWidth = 1600;
constexpr int plotHeight = 900;
constexpr int plotColumns = 1480;
} // namespace orvan::render
