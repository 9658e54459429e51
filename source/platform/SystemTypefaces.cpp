#include "SystemTypefaces.h"

#if ! __APPLE__
 #include <fontconfig/fontconfig.h>
 #include <cstdlib>
 #include <cstring>
 #include <limits>
 #include <map>
 #include <optional>
#endif

namespace platform
{
    namespace
    {
        // Most wanted first: the typefaces of the macOS release, then the families that Linux
        // distributions ship for the script. The simplified-Chinese faces come first for
        // Chinese because the Chinese texts are written in simplified characters.
        juce::StringArray candidatesFor (InterfaceLanguage language)
        {
            switch (language)
            {
                case InterfaceLanguage::Chinese:
                    return { "PingFang SC", "Noto Sans CJK SC", "Source Han Sans SC", "Noto Sans SC",
                             "WenQuanYi Micro Hei", "WenQuanYi Zen Hei", "Droid Sans Fallback" };

                case InterfaceLanguage::Japanese:
                    return { "Arial Unicode MS", "Noto Sans CJK JP", "Source Han Sans JP", "Noto Sans JP",
                             "IPAexGothic", "IPAGothic", "TakaoGothic", "VL Gothic", "Droid Sans Fallback" };

                case InterfaceLanguage::English:
                    break;
            }

            return {};
        }

       #if ! __APPLE__
        struct InstalledFace
        {
            juce::File file;
            int index = 0;
        };

        // Asks fontconfig for the regular upright face of exactly this family (no substitute).
        std::optional<InstalledFace> findInstalledFace (const juce::String& family)
        {
            std::optional<InstalledFace> found;

            if (FcInit() == FcFalse)
                return found;

            auto* pattern = FcPatternCreate();
            FcPatternAddString (pattern, FC_FAMILY, reinterpret_cast<const FcChar8*> (family.toRawUTF8()));
            auto* properties = FcObjectSetBuild (FC_FILE, FC_INDEX, FC_WEIGHT, FC_SLANT, nullptr);

            if (auto* fonts = FcFontList (nullptr, pattern, properties))
            {
                int bestDistance = std::numeric_limits<int>::max();

                for (int i = 0; i < fonts->nfont; ++i)
                {
                    FcChar8* file = nullptr;
                    int index = 0, weight = FC_WEIGHT_REGULAR, slant = FC_SLANT_ROMAN;

                    if (FcPatternGetString (fonts->fonts[i], FC_FILE, 0, &file) != FcResultMatch)
                        continue;

                    FcPatternGetInteger (fonts->fonts[i], FC_INDEX, 0, &index);
                    FcPatternGetInteger (fonts->fonts[i], FC_WEIGHT, 0, &weight);
                    FcPatternGetInteger (fonts->fonts[i], FC_SLANT, 0, &slant);

                    const auto distance = std::abs (weight - FC_WEIGHT_REGULAR) + (slant != FC_SLANT_ROMAN ? 1000 : 0);

                    if (distance < bestDistance)
                    {
                        bestDistance = distance;
                        found = InstalledFace { juce::File (juce::CharPointer_UTF8 (reinterpret_cast<const char*> (file))), index };
                    }
                }

                FcFontSetDestroy (fonts);
            }

            FcObjectSetDestroy (properties);
            FcPatternDestroy (pattern);
            return found;
        }

        // The framework loads a font file from memory at its first face only, and its own
        // scan of the font folders skips collections (.ttc), where Debian keeps Noto Sans
        // CJK. Pointing the collection's first entry at the wanted face makes that face the
        // first; the tables stay where they are, since a collection addresses them from the
        // start of the file.
        juce::Typeface::Ptr loadFace (const InstalledFace& face)
        {
            juce::MemoryBlock data;

            if (! face.file.loadFileAsData (data) || data.getSize() < 16)
                return nullptr;

            auto* bytes = static_cast<juce::uint8*> (data.getData());
            const auto readBigEndian = [bytes] (size_t at) { return juce::ByteOrder::bigEndianInt (bytes + at); };

            if (face.index != 0)
            {
                const bool isCollection = juce::ByteOrder::bigEndianInt ("ttcf") == readBigEndian (0);
                const auto faces = isCollection ? readBigEndian (8) : 0u;

                if (! isCollection || static_cast<juce::uint32> (face.index) >= faces
                    || data.getSize() < 12 + 4 * (size_t) faces)
                    return nullptr;

                std::memcpy (bytes + 12, bytes + 12 + 4 * (size_t) face.index, 4);
            }

            return juce::Typeface::createSystemTypefaceFor (data.getData(), data.getSize());
        }

        // Loaded once per process: a collection is large, and every window of every instance
        // shares the one default.
        juce::Typeface::Ptr loadedTypeface (const juce::String& family, const InstalledFace& face)
        {
            static std::map<juce::String, juce::Typeface::Ptr> loaded;

            auto& typeface = loaded[family];

            if (typeface == nullptr)
                typeface = loadFace (face);

            return typeface;
        }
       #endif
    }

    juce::String defaultTypefaceNameFor (InterfaceLanguage language, const juce::StringArray& installedFamilies)
    {
        for (const auto& name : candidatesFor (language))
            if (installedFamilies.contains (name))
                return name;

        return {};
    }

    InterfaceTypeface defaultTypefaceFor (InterfaceLanguage language)
    {
        if (language == InterfaceLanguage::English)
            return {};

       #if __APPLE__
        return { candidatesFor (language)[0], nullptr };
       #else
        const auto knownByName = juce::Font::findAllTypefaceNames();

        for (const auto& name : candidatesFor (language))
        {
            if (knownByName.contains (name))
                return { name, nullptr };

            if (const auto face = findInstalledFace (name))
                if (auto typeface = loadedTypeface (name, *face))
                    return { name, typeface };
        }

        return {};
       #endif
    }
}
