#include "Plot.h"

#include "Render.h"

#include <juce_graphics/juce_graphics.h>

#include <cmath>
#include <functional>

namespace orvan::render
{
PlotData::PlotData (int columns, juce::int64 frames_)
    : frames (std::max<juce::int64> (1, frames_))
{
    // Short files get one column per frame rather than empty columns.
    const auto n = (size_t) std::min<juce::int64> (columns, frames);
    inMin.assign (n, 0.0f);
    inMax.assign (n, 0.0f);
    outMin.assign (n, 0.0f);
    outMax.assign (n, 0.0f);
    gain.assign (n, 1.0);
}

float PlotData::reductionDb (int column) const noexcept
{
    const double g = gain[(size_t) column];
    return g < 1.0 && g > 0.0 ? (float) (-20.0 * std::log10 (g)) : 0.0f;
}

void PlotData::add (juce::int64 frame, float inLow, float inHigh, float outLow, float outHigh, double frameGain) noexcept
{
    if (frame < 0 || frame >= frames)
        return;
    const auto c = (size_t) (frame * (juce::int64) inMin.size() / frames);
    inMin[c] = std::min (inMin[c], inLow);
    inMax[c] = std::max (inMax[c], inHigh);
    outMin[c] = std::min (outMin[c], outLow);
    outMax[c] = std::max (outMax[c], outHigh);
    gain[c] = std::min (gain[c], frameGain);
}

namespace
{
namespace colours
{
const juce::Colour backgroundTop (0xff15171d);
const juce::Colour backgroundBottom (0xff0d0e12);
const juce::Colour panel (0xff1b1e26);
const juce::Colour panelEdge (0xff2a2e39);
const juce::Colour grid (0xff262a34);
const juce::Colour gridText (0xff6d7384);
const juce::Colour text (0xffd9dce4);
const juce::Colour dimText (0xff8a90a0);
const juce::Colour input (0xff8fa6d1);
const juce::Colour over (0xffff4d5e);
const juce::Colour outputTop (0xffffc35a);
const juce::Colour outputBottom (0xffff8a3d);
const juce::Colour ceiling (0xffff6b6b);
const juce::Colour reductionTop (0xffffb547);
const juce::Colour reductionBottom (0xffe8405a);
} // namespace colours

juce::Font font (float height, bool bold = false)
{
    return juce::Font (juce::Font::getDefaultSansSerifFontName(), height, bold ? juce::Font::bold : juce::Font::plain);
}

juce::String db (double value, int decimals = 2)
{
    if (! std::isfinite (value))
        return "-inf";
    return (value > 0.0 ? "+" : "") + juce::String (value, decimals);
}

// 1, 2 or 5 times a power of ten, the smallest such step that gives at most `maxTicks`.
double niceStep (double range, int maxTicks)
{
    const double raw = range / maxTicks;
    const double power = std::pow (10.0, std::floor (std::log10 (raw)));
    for (double m : { 1.0, 2.0, 5.0, 10.0 })
        if (m * power >= raw)
            return m * power;
    return 10.0 * power;
}

juce::String timeLabel (double seconds, double step)
{
    if (step >= 60.0 || seconds >= 600.0)
    {
        const int total = (int) std::lround (seconds);
        return juce::String (total / 60) + ":" + juce::String (total % 60).paddedLeft ('0', 2);
    }
    const int decimals = step >= 1.0 ? 0 : step >= 0.1 ? 1 : step >= 0.01 ? 2 : 3;
    return juce::String (seconds, decimals) + " s";
}

void drawPanel (juce::Graphics& g, juce::Rectangle<float> area)
{
    g.setColour (colours::panel);
    g.fillRoundedRectangle (area.expanded (10.0f, 8.0f), 8.0f);
    g.setColour (colours::panelEdge);
    g.drawRoundedRectangle (area.expanded (10.0f, 8.0f), 8.0f, 1.0f);
}

// The upper edge left to right, then the lower edge back: one filled envelope shape.
juce::Path envelope (const std::vector<float>& low, const std::vector<float>& high,
                     const std::function<float (int)>& x, const std::function<float (float)>& y)
{
    juce::Path p;
    const int n = (int) high.size();
    p.startNewSubPath (x (0), y (high[0]));
    for (int c = 0; c < n; ++c)
    {
        p.lineTo (x (c), y (high[(size_t) c]));
        p.lineTo (x (c + 1), y (high[(size_t) c]));
    }
    for (int c = n - 1; c >= 0; --c)
    {
        p.lineTo (x (c + 1), y (low[(size_t) c]));
        p.lineTo (x (c), y (low[(size_t) c]));
    }
    p.closeSubPath();
    return p;
}

void chip (juce::Graphics& g, float right, float top, const juce::String& label, const juce::String& value,
           juce::Colour accent, float& widthUsed)
{
    const auto labelFont = font (12.0f, true);
    const auto valueFont = font (19.0f, true);
    const float w = std::max (labelFont.getStringWidthFloat (label), valueFont.getStringWidthFloat (value)) + 28.0f;
    const juce::Rectangle<float> box (right - w, top, w, 50.0f);
    g.setColour (colours::panel);
    g.fillRoundedRectangle (box, 6.0f);
    g.setColour (accent);
    g.fillRoundedRectangle (box.withWidth (4.0f), 2.0f);
    g.setColour (colours::dimText);
    g.setFont (labelFont);
    g.drawText (label, box.reduced (14.0f, 6.0f).withHeight (14.0f), juce::Justification::topLeft);
    g.setColour (colours::text);
    g.setFont (valueFont);
    g.drawText (value, box.reduced (14.0f, 6.0f).withTrimmedTop (16.0f), juce::Justification::bottomLeft);
    widthUsed = w;
}
} // namespace

bool writePlot (const PlotData& data, const Report& report, const juce::String& title,
                const juce::File& file, std::string& error)
{
    juce::Image image (juce::Image::ARGB, plotWidth, plotHeight, true, juce::SoftwareImageType());
    juce::Graphics g (image);

    g.setGradientFill (juce::ColourGradient (colours::backgroundTop, 0.0f, 0.0f,
                                             colours::backgroundBottom, 0.0f, (float) plotHeight, false));
    g.fillAll();

    const float left = 90.0f, right = (float) plotWidth - 30.0f;
    const auto wave = juce::Rectangle<float> (left, 118.0f, right - left, 430.0f);
    const auto gr = juce::Rectangle<float> (left, 600.0f, right - left, 190.0f);
    const int n = data.columns();
    const auto x = [&] (int c) { return left + (float) c * wave.getWidth() / (float) n; };

    // Header: the name, the files, the figures that matter.
    g.setColour (colours::outputTop);
    g.setFont (font (34.0f, true));
    g.drawText ("ORVAN", juce::Rectangle<float> (40.0f, 20.0f, 200.0f, 40.0f), juce::Justification::centredLeft);
    const float wordWidth = font (34.0f, true).getStringWidthFloat ("ORVAN");
    g.setColour (colours::dimText);
    g.setFont (font (18.0f));
    g.drawText ("peak limiter", juce::Rectangle<float> (52.0f + wordWidth, 28.0f, 200.0f, 30.0f), juce::Justification::centredLeft);
    g.setColour (colours::text);
    g.setFont (font (15.0f));
    g.drawText (title, juce::Rectangle<float> (42.0f, 62.0f, 760.0f, 22.0f), juce::Justification::centredLeft, true);

    float chipRight = right + 10.0f, used = 0.0f;
    chip (g, chipRight, 20.0f, "MAX GAIN REDUCTION", juce::String (report.maxGainReductionDb, 2) + " dB", colours::reductionBottom, used);
    chipRight -= used + 12.0f;
    chip (g, chipRight, 20.0f, "OUTPUT TRUE PEAK", db (report.output.truePeakDbtp) + " dBTP", colours::outputTop, used);
    chipRight -= used + 12.0f;
    chip (g, chipRight, 20.0f, "INPUT TRUE PEAK", db (report.input.truePeakDbtp) + " dBTP", colours::over, used);
    chipRight -= used + 12.0f;
    chip (g, chipRight, 20.0f, report.enabled ? "CEILING" : "LIMITER", report.enabled ? db (report.levelDb) + " dB" : juce::String ("off"),
          colours::ceiling, used);

    // Waveforms: the input behind, what rose over the ceiling in red, the output in front.
    drawPanel (g, wave);
    float peak = 1.0f;
    for (int c = 0; c < n; ++c)
        peak = std::max ({ peak, data.inMax[(size_t) c], -data.inMin[(size_t) c], data.outMax[(size_t) c], -data.outMin[(size_t) c] });
    const float scale = peak * 1.06f;
    const float mid = wave.getCentreY(), half = wave.getHeight() / 2.0f;
    const auto y = [&] (float v) { return mid - juce::jlimit (-1.0f, 1.0f, v / scale) * half; };

    g.setFont (font (12.0f));
    for (double level : { 0.0, -6.0, -12.0 })
    {
        const float a = (float) std::pow (10.0, level / 20.0);
        for (float sign : { 1.0f, -1.0f })
        {
            g.setColour (colours::grid);
            g.drawHorizontalLine ((int) std::round (y (sign * a)), wave.getX(), wave.getRight());
        }
        g.setColour (colours::gridText);
        g.drawText (level == 0.0 ? "0 dBFS" : juce::String ((int) level), juce::Rectangle<float> (14.0f, y (a) - 8.0f, left - 26.0f, 16.0f),
                    juce::Justification::centredRight);
    }
    g.setColour (colours::grid.brighter (0.2f));
    g.drawHorizontalLine ((int) mid, wave.getX(), wave.getRight());

    g.setColour (colours::input);
    g.fillPath (envelope (data.inMin, data.inMax, x, y));

    const float ceilingLinear = report.enabled ? (float) std::pow (10.0, report.levelDb / 20.0) : 1.0f;
    g.setColour (colours::over);
    for (int c = 0; c < n; ++c)
    {
        const float hi = data.inMax[(size_t) c], lo = data.inMin[(size_t) c];
        if (hi > ceilingLinear)
            g.fillRect (juce::Rectangle<float>::leftTopRightBottom (x (c), y (hi), x (c + 1), y (ceilingLinear)));
        if (lo < -ceilingLinear)
            g.fillRect (juce::Rectangle<float>::leftTopRightBottom (x (c), y (-ceilingLinear), x (c + 1), y (lo)));
    }

    g.setGradientFill (juce::ColourGradient (colours::outputTop, 0.0f, wave.getY(), colours::outputBottom, 0.0f, mid, true));
    g.fillPath (envelope (data.outMin, data.outMax, x, y));

    if (report.enabled)
    {
        const float dashes[] = { 8.0f, 5.0f };
        g.setColour (colours::ceiling);
        for (float sign : { 1.0f, -1.0f })
        {
            const float cy = y (sign * ceilingLinear);
            g.drawDashedLine (juce::Line<float> (wave.getX(), cy, wave.getRight(), cy), dashes, 2, 1.5f);
        }
        const auto label = "ceiling " + db (report.levelDb) + " dB";
        const auto labelFont = font (13.0f, true);
        const float w = labelFont.getStringWidthFloat (label) + 16.0f;
        const juce::Rectangle<float> box (wave.getRight() - w - 6.0f, y (ceilingLinear) - 24.0f, w, 19.0f);
        g.setColour (colours::panel.withAlpha (0.85f));
        g.fillRoundedRectangle (box, 4.0f);
        g.setColour (colours::ceiling);
        g.setFont (labelFont);
        g.drawText (label, box, juce::Justification::centred);
    }

    // Gain reduction, hanging from 0 dB.
    drawPanel (g, gr);
    std::vector<float> reductionDb ((size_t) n);
    float maxReduction = 0.0f;
    for (int c = 0; c < n; ++c)
    {
        reductionDb[(size_t) c] = data.reductionDb (c);
        maxReduction = std::max (maxReduction, reductionDb[(size_t) c]);
    }
    const double grStep = niceStep (std::max (1.0, (double) maxReduction * 1.1), 4);
    const float grRange = (float) (grStep * std::ceil (std::max (1.0, (double) maxReduction * 1.1) / grStep));
    const auto gy = [&] (float r) { return gr.getY() + juce::jlimit (0.0f, 1.0f, r / grRange) * gr.getHeight(); };

    g.setFont (font (12.0f));
    for (double r = 0.0; r <= grRange + 1.0e-9; r += grStep)
    {
        g.setColour (colours::grid);
        g.drawHorizontalLine ((int) std::round (gy ((float) r)), gr.getX(), gr.getRight());
        g.setColour (colours::gridText);
        g.drawText (r == 0.0 ? "0 dB" : "-" + juce::String (r, grStep < 1.0 ? 1 : 0), juce::Rectangle<float> (14.0f, gy ((float) r) - 8.0f, left - 26.0f, 16.0f),
                    juce::Justification::centredRight);
    }

    juce::Path reduction;
    reduction.startNewSubPath (x (0), gr.getY());
    for (int c = 0; c < n; ++c)
    {
        reduction.lineTo (x (c), gy (reductionDb[(size_t) c]));
        reduction.lineTo (x (c + 1), gy (reductionDb[(size_t) c]));
    }
    reduction.lineTo (x (n), gr.getY());
    reduction.closeSubPath();
    g.setGradientFill (juce::ColourGradient (colours::reductionTop.withAlpha (0.95f), 0.0f, gr.getY(),
                                             colours::reductionBottom.withAlpha (0.95f), 0.0f, gr.getBottom(), false));
    g.fillPath (reduction);

    g.setColour (colours::dimText);
    g.setFont (font (13.0f, true));
    g.drawText ("GAIN REDUCTION", juce::Rectangle<float> (gr.getX() + 6.0f, gr.getBottom() - 22.0f, 200.0f, 18.0f), juce::Justification::centredLeft);
    g.drawText ("WAVEFORM", juce::Rectangle<float> (wave.getX() + 6.0f, wave.getBottom() - 22.0f, 200.0f, 18.0f), juce::Justification::centredLeft);

    // Time axis.
    const double duration = (double) report.frames / report.sampleRate;
    const double step = niceStep (duration, 12);
    g.setFont (font (12.0f));
    for (double t = 0.0; t <= duration + 1.0e-9; t += step)
    {
        const float tx = left + (float) (t / duration) * wave.getWidth();
        g.setColour (colours::grid);
        g.drawVerticalLine ((int) std::round (tx), gr.getBottom() + 8.0f, gr.getBottom() + 14.0f);
        g.setColour (colours::gridText);
        g.drawText (timeLabel (t, step), juce::Rectangle<float> (tx - 40.0f, gr.getBottom() + 14.0f, 80.0f, 16.0f), juce::Justification::centred);
    }

    // Legend and the facts of the render.
    float lx = left;
    const float ly = (float) plotHeight - 52.0f;
    g.setFont (font (13.0f));
    for (const auto& [colour, label] : { std::pair<juce::Colour, juce::String> { colours::input, "input" },
                                         { colours::over, "input over the ceiling" },
                                         { colours::outputTop, "output" },
                                         { colours::reductionBottom, "gain reduction" } })
    {
        g.setColour (colour);
        g.fillRoundedRectangle (lx, ly + 3.0f, 14.0f, 14.0f, 3.0f);
        g.setColour (colours::text);
        const float w = font (13.0f).getStringWidthFloat (label);
        g.drawText (label, juce::Rectangle<float> (lx + 22.0f, ly, w + 4.0f, 20.0f), juce::Justification::centredLeft);
        lx += w + 50.0f;
    }
    const auto dot = juce::String::fromUTF8 ("  \xc2\xb7  ");
    const auto facts = juce::String (report.sampleRate, 0) + " Hz" + dot + (report.numChannels == 1 ? "mono" : "stereo")
                       + dot + juce::String (duration, 2) + " s" + dot + "lookahead " + juce::String (report.latencySamples)
                       + " samples" + (report.compensated ? " (compensated)" : "");
    g.setColour (colours::dimText);
    g.drawText (facts, juce::Rectangle<float> (left, ly, right - left, 20.0f), juce::Justification::centredRight);

    juce::FileOutputStream out (file);
    juce::PNGImageFormat png;
    if (! out.openedOk() || ! png.writeImageToStream (image, out))
    {
        error = file.getFullPathName().toStdString() + ": cannot write the picture";
        return false;
    }
    out.flush();
    if (out.getStatus().failed())
    {
        error = file.getFullPathName().toStdString() + ": write error (disk full?)";
        return false;
    }
    return true;
}
} // namespace orvan::render
