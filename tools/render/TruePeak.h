#pragma once

#include <array>
#include <vector>

namespace orvan::render
{
// Peak meters for one stream of frames: the largest sample magnitude, and the true peak
// read from a 4x oversampled signal in the manner of ITU-R BS.1770-4 (a polyphase
// windowed-sinc interpolator; its phase 0 is the signal itself, so the true peak never
// reads below the sample peak).
class PeakMeter
{
public:
    explicit PeakMeter (int numChannels);

    void add (int channel, float sample) noexcept;

    // Runs the interpolators out over the last samples; call once after the last frame.
    void finish() noexcept;

    double samplePeak() const noexcept { return samplePeakLinear; }
    double truePeak() const noexcept { return truePeakLinear; }

    // Taps of one interpolation phase; the filter has 4 x tapsPerPhase + 1 taps.
    static constexpr int tapsPerPhase = 16;
    static constexpr int oversampling = 4;

private:
    // The last tapsPerPhase + 1 samples, stored twice over so that the newest run of them
    // is always one contiguous span, newest first, without shifting.
    struct History
    {
        static constexpr int length = tapsPerPhase + 1;
        std::array<double, 2 * length> samples {};
        int newest = length;                  // index of the newest sample in the first copy
    };

    void step (History& history, double sample) noexcept;

    std::vector<History> histories;      // per channel: the interpolator's input history
    double samplePeakLinear = 0.0;       // largest |sample| seen, any channel
    double truePeakLinear = 0.0;         // largest |interpolated value| seen, any channel
    bool finished = false;
};

// 20 log10 of a magnitude; minus infinity for silence.
double toDecibels (double magnitude) noexcept;
} // namespace orvan::render
