#include "PreferredLanguages.h"

#if __APPLE__
 #include <CoreFoundation/CoreFoundation.h>
#endif

#include <cstdlib>

namespace platform
{
    namespace
    {
        std::optional<juce::StringArray>& overriddenLanguages()
        {
            static std::optional<juce::StringArray> languages;
            return languages;
        }

        juce::StringArray systemPreferredLanguages()
        {
            juce::StringArray result;

           #if __APPLE__
            if (auto languages = CFLocaleCopyPreferredLanguages())
            {
                for (CFIndex i = 0; i < CFArrayGetCount (languages); ++i)
                    result.add (juce::String::fromCFString ((CFStringRef) CFArrayGetValueAtIndex (languages, i)));

                CFRelease (languages);
            }
           #else
            result = preferredLanguagesFromPosixEnvironment ([] (const char* name)
            {
                const auto* value = std::getenv (name);
                return juce::String (juce::CharPointer_UTF8 (value != nullptr ? value : ""));
            });
           #endif

            return result;
        }
    }

    juce::StringArray getPreferredLanguages()
    {
        if (const auto& languages = overriddenLanguages())
            return *languages;

        return systemPreferredLanguages();
    }

    juce::String languageTagFromPosixLocale (const juce::String& locale)
    {
        // language[_territory][.codeset][@modifier]: the code set and the modifier say nothing
        // about the language the user reads.
        const auto name = locale.trim().upToFirstOccurrenceOf (".", false, false)
                                       .upToFirstOccurrenceOf ("@", false, false);

        if (name.isEmpty() || name == "C" || name == "POSIX")
            return {};

        return name.replaceCharacter ('_', '-');
    }

    juce::StringArray preferredLanguagesFromPosixEnvironment (
        const std::function<juce::String (const char* name)>& lookup)
    {
        juce::StringArray languages;

        for (const auto& entry : juce::StringArray::fromTokens (lookup ("LANGUAGE"), ":", {}))
        {
            const auto tag = languageTagFromPosixLocale (entry);

            if (tag.isNotEmpty())
                languages.add (tag);
        }

        if (! languages.isEmpty())
            return languages;

        for (const auto* variable : { "LC_ALL", "LC_MESSAGES", "LANG" })
        {
            const auto locale = lookup (variable);

            if (locale.isNotEmpty())
            {
                const auto tag = languageTagFromPosixLocale (locale);

                if (tag.isNotEmpty())
                    languages.add (tag);

                break;
            }
        }

        return languages;
    }

    ScopedPreferredLanguages::ScopedPreferredLanguages (juce::StringArray languages)
        : previous (overriddenLanguages())
    {
        overriddenLanguages() = std::move (languages);
    }

    ScopedPreferredLanguages::~ScopedPreferredLanguages()
    {
        overriddenLanguages() = std::move (previous);
    }
}
