#pragma once

#include <juce_core/juce_core.h>

// The language of the plug-in's texts. Looked up again at each use and never stored, so a
// change of the user's preferred languages shows at the next dialog or the next window.
enum class InterfaceLanguage
{
    English,
    Japanese,
    Chinese
};

// The language for the user's first preferred system language; English when there is none.
InterfaceLanguage getInterfaceLanguage();

// The rule itself, for one language tag such as en-US, ja-JP or zh-Hans-CN. Only the first
// two characters count, case-sensitively: every Chinese variant gets the one Chinese text set,
// and a tag such as JA-jp is not Japanese.
InterfaceLanguage interfaceLanguageForTag (const juce::String& languageTag);

// Sets the framework's default sans-serif typeface to one that can show the user's script
// (Japanese or Chinese); leaves it alone for English. Process-wide and never undone, so it
// also reaches the alert windows, which use the framework's default look-and-feel.
void applyDefaultTypefaceForInterfaceLanguage();
