#pragma once

#include <juce_core/juce_core.h>

#include <functional>
#include <optional>

namespace platform
{
    // The user's preferred interface languages, most preferred first, as language tags such
    // as en-US, ja-JP or zh-Hans-CN. Empty when the system names none. Message thread.
    //
    // macOS: Core Foundation's preferred-language list. Elsewhere: the POSIX locale, see
    // preferredLanguagesFromPosixEnvironment.
    juce::StringArray getPreferredLanguages();

    // A POSIX locale name as a language tag: ja_JP.UTF-8 gives ja-JP, zh_CN gives zh-CN,
    // sr_RS@latin gives sr-RS. "C", "POSIX" (with or without a code set) and an empty
    // name are no language and give an empty text. Letter case is kept.
    juce::String languageTagFromPosixLocale (const juce::String& locale);

    // The POSIX rule of precedence, reading variables through `lookup` (empty when unset):
    // every entry of LANGUAGE (a colon-separated list) when it names one, otherwise the first
    // of LC_ALL, LC_MESSAGES and LANG that is set. A locale of "C" or "POSIX" there means
    // that the user asked for no language, so the list is empty.
    juce::StringArray preferredLanguagesFromPosixEnvironment (
        const std::function<juce::String (const char* name)>& lookup);

    // Replaces the system's list while it exists, for tests and for the snapshot tool, which
    // render the interface in a given language. Scopes nest. Message thread only.
    class ScopedPreferredLanguages
    {
    public:
        explicit ScopedPreferredLanguages (juce::StringArray languages);
        ~ScopedPreferredLanguages();

        ScopedPreferredLanguages (const ScopedPreferredLanguages&) = delete;
        ScopedPreferredLanguages& operator= (const ScopedPreferredLanguages&) = delete;

    private:
        std::optional<juce::StringArray> previous;
    };
}
