#include "Render.h"

#include <juce_events/juce_events.h>

#include <cstdio>
#include <iostream>
#include <unistd.h>

namespace
{
// A bar on standard error, drawn over itself; only for a terminal, so logs and pipes
// stay clean.
void showProgress (double fraction)
{
    constexpr int width = 40;
    static int shownPercent = -1;
    const int percent = (int) (fraction * 100.0);
    if (percent == shownPercent)
        return;
    shownPercent = percent;
    const int filled = (int) (fraction * width);
    std::string bar (width, ' ');
    for (int i = 0; i < filled; ++i)
        bar[(size_t) i] = '#';
    std::fprintf (stderr, "\r  [%s] %3d%%", bar.c_str(), percent);
    if (fraction >= 1.0)
        std::fprintf (stderr, "\r%*s\r", width + 10, "");
    std::fflush (stderr);
}
} // namespace

int main (int argc, char** argv)
{
    orvan::render::installInterruptHandlers();
    juce::ScopedJuceInitialiser_GUI framework;

    std::vector<std::string> args (argv + 1, argv + argc);
    orvan::render::Progress progress;
    if (::isatty (STDERR_FILENO))
        progress = showProgress;
    return orvan::render::runCommandLine (args, std::cout, std::cerr, progress);
}
