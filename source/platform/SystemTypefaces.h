#pragma once

#include "InterfaceLanguage.h"

#include <juce_graphics/juce_graphics.h>

namespace platform
{
    // A typeface that shows the texts of a language, for the framework's default sans-serif.
    // The name alone serves where the framework finds the family by name; `typeface` is set
    // where the platform layer had to load it itself.
    struct InterfaceTypeface
    {
        juce::String name;           // empty: keep the framework's own default
        juce::Typeface::Ptr typeface;
    };

    // macOS: "PingFang SC" for Chinese and "Arial Unicode MS" for Japanese, which every macOS
    // has. Elsewhere those names when installed, otherwise the system's own CJK family (Noto
    // Sans CJK from Debian's fonts-noto-cjk, or another common one), so that Japanese and
    // Chinese render as glyphs, not boxes. English, or a system without any typeface for the
    // script, keeps the framework's default. Message thread.
    InterfaceTypeface defaultTypefaceFor (InterfaceLanguage language);

    // The choice of family among installed ones, so that the rule can be checked without the
    // machine's fonts.
    juce::String defaultTypefaceNameFor (InterfaceLanguage language, const juce::StringArray& installedFamilies);
}
