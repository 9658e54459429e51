#include "InterfaceLanguage.h"
#include "platform/PreferredLanguages.h"
#include "platform/SystemTypefaces.h"

#include <juce_gui_basics/juce_gui_basics.h>

#include <gtest/gtest.h>

#include <map>

namespace
{
    juce::String u (const char* utf8) { return juce::String (juce::CharPointer_UTF8 (utf8)); }

    const char* nameOf (InterfaceLanguage language)
    {
        switch (language)
        {
            case InterfaceLanguage::English:  return "English";
            case InterfaceLanguage::Japanese: return "Japanese";
            case InterfaceLanguage::Chinese:  return "Chinese";
        }
        return "?";
    }
}

TEST (InterfaceLanguage, TheFirstPreferredLanguageChoosesByItsFirstTwoLetters)
{
    struct Case { juce::StringArray preferred; InterfaceLanguage expected; };
    const Case cases[] = {
        { { "en-US" }, InterfaceLanguage::English },
        { { "ja-JP" }, InterfaceLanguage::Japanese },
        { { "ja" }, InterfaceLanguage::Japanese },
        { { "zh-Hans-CN" }, InterfaceLanguage::Chinese },
        { { "zh-Hant-TW" }, InterfaceLanguage::Chinese },
        { { "zh-HK" }, InterfaceLanguage::Chinese },
        { { "JA-jp" }, InterfaceLanguage::English },       // the comparison is case-sensitive
        { { "ZH" }, InterfaceLanguage::English },
        { { "fr-FR" }, InterfaceLanguage::English },
        { { "fr-FR", "ja-JP" }, InterfaceLanguage::English },   // only the first entry counts
        { { "ja-JP", "zh-CN" }, InterfaceLanguage::Japanese },
        { { "j" }, InterfaceLanguage::English },
        { {}, InterfaceLanguage::English },                 // no preferred language at all
        { { "" }, InterfaceLanguage::English },
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.preferred.joinIntoString (",").toStdString());
        const platform::ScopedPreferredLanguages preferred (c.preferred);
        EXPECT_STREQ (nameOf (getInterfaceLanguage()), nameOf (c.expected));
    }
}

TEST (InterfaceLanguage, ForcedLanguagesNestAndGiveTheSystemBack)
{
    const auto system = platform::getPreferredLanguages();
    {
        const platform::ScopedPreferredLanguages outer ({ "ja-JP" });
        {
            const platform::ScopedPreferredLanguages inner ({ "zh-CN" });
            EXPECT_EQ (getInterfaceLanguage(), InterfaceLanguage::Chinese);
        }
        EXPECT_EQ (getInterfaceLanguage(), InterfaceLanguage::Japanese);
    }
    EXPECT_EQ (platform::getPreferredLanguages(), system);
}

TEST (InterfaceLanguage, PosixLocaleNamesBecomeLanguageTags)
{
    const std::pair<const char*, const char*> cases[] = {
        { "ja_JP.UTF-8", "ja-JP" },
        { "zh_CN", "zh-CN" },
        { "zh_TW.Big5", "zh-TW" },
        { "en_US.UTF-8", "en-US" },
        { "de_DE@euro", "de-DE" },
        { "sr_RS.UTF-8@latin", "sr-RS" },
        { "fr", "fr" },
        { "JA_jp", "JA-jp" },          // the case stays, so the language rule still sees it
        { "C", "" },
        { "C.UTF-8", "" },
        { "POSIX", "" },
        { "", "" },
    };

    for (const auto& [locale, tag] : cases)
        EXPECT_EQ (platform::languageTagFromPosixLocale (locale), juce::String (tag)) << locale;
}

TEST (InterfaceLanguage, PosixVariablesFollowTheirOrderOfPrecedence)
{
    using Environment = std::map<std::string, juce::String>;
    struct Case { Environment environment; juce::StringArray expected; };

    const Case cases[] = {
        { { { "LANG", "ja_JP.UTF-8" } }, { "ja-JP" } },
        { { { "LANG", "en_US.UTF-8" }, { "LC_MESSAGES", "zh_CN.UTF-8" } }, { "zh-CN" } },
        { { { "LANG", "en_US.UTF-8" }, { "LC_MESSAGES", "zh_CN" }, { "LC_ALL", "ja_JP" } }, { "ja-JP" } },
        { { { "LC_ALL", "de_DE" }, { "LANGUAGE", "zh_TW:ja" } }, { "zh-TW", "ja" } },
        { { { "LANGUAGE", ":ja_JP:" } }, { "ja-JP" } },          // empty entries name nothing
        { { { "LANGUAGE", "" }, { "LANG", "zh_CN" } }, { "zh-CN" } },
        { { { "LC_ALL", "C" }, { "LANG", "ja_JP.UTF-8" } }, {} },   // C asks for no language
        { { { "LANG", "POSIX" } }, {} },
        { { { "LC_ALL", "" }, { "LANG", "fr_FR" } }, { "fr-FR" } },   // set but empty is unset
        { {}, {} },
    };

    for (const auto& c : cases)
    {
        const auto languages = platform::preferredLanguagesFromPosixEnvironment ([&c] (const char* name)
        {
            const auto found = c.environment.find (name);
            return found != c.environment.end() ? found->second : juce::String();
        });

        EXPECT_EQ (languages, c.expected) << c.expected.joinIntoString (",");
    }
}

TEST (InterfaceLanguage, TypefacesPreferTheMacNamesThenTheSystemsCjkFamily)
{
    const juce::StringArray debian { "DejaVu Sans", "Noto Sans CJK JP", "Noto Sans CJK SC", "Noto Sans CJK TC" };
    const juce::StringArray mac { "Helvetica", "PingFang SC", "Arial Unicode MS", "Noto Sans CJK JP" };

    EXPECT_EQ (platform::defaultTypefaceNameFor (InterfaceLanguage::Japanese, debian), "Noto Sans CJK JP");
    EXPECT_EQ (platform::defaultTypefaceNameFor (InterfaceLanguage::Chinese, debian), "Noto Sans CJK SC");
    EXPECT_EQ (platform::defaultTypefaceNameFor (InterfaceLanguage::Japanese, mac), "Arial Unicode MS");
    EXPECT_EQ (platform::defaultTypefaceNameFor (InterfaceLanguage::Chinese, mac), "PingFang SC");
    EXPECT_EQ (platform::defaultTypefaceNameFor (InterfaceLanguage::English, mac), "");
    EXPECT_EQ (platform::defaultTypefaceNameFor (InterfaceLanguage::Japanese, { "DejaVu Sans" }), "");
}

namespace
{
    juce::String outlineOf (juce::Typeface& typeface, juce::juce_wchar character)
    {
        juce::Array<int> glyphs;
        juce::Array<float> offsets;
        typeface.getGlyphPositions (juce::String::charToString (character), glyphs, offsets);

        juce::Path outline;
        if (glyphs.size() == 1)
            typeface.getOutlineForGlyph (glyphs[0], outline);

        return outline.toString();
    }

    // Characters of `text` that `typeface` lacks. The framework draws a missing character
    // with the font's "missing glyph" box, so a character counts as missing when it has no
    // outline or the same outline as a code point that no font has.
    int missingGlyphs (juce::Typeface& typeface, const juce::String& text)
    {
        const auto box = outlineOf (typeface, 0x10fffd);
        int missing = 0;

        for (const auto character : text.removeCharacters (" "))
        {
            const auto outline = outlineOf (typeface, character);
            if (outline.isEmpty() || outline == box)
                ++missing;
        }

        return missing;
    }
}

// On this machine the chosen typefaces must hold a real glyph for every character of the
// Japanese and Chinese texts.
TEST (InterfaceLanguage, TheChosenTypefaceHasEveryGlyphOfItsTexts)
{
    const std::pair<InterfaceLanguage, juce::String> samples[] = {
        { InterfaceLanguage::Japanese, u (u8"Orvanについて サウンドデザイン 開発 販売（ザンドル・オーディオ）はい いいえ？") },
        { InterfaceLanguage::Chinese, u (u8"关于Orvan 声音设计 发展 销售 新发布 你想获得新版本吗？是的 没有") },
    };

    for (const auto& [language, text] : samples)
    {
        const auto choice = platform::defaultTypefaceFor (language);
        ASSERT_TRUE (choice.name.isNotEmpty()) << nameOf (language) << ": no typeface for the script (fonts-noto-cjk)";

        const auto typeface = choice.typeface != nullptr ? choice.typeface
                                                         : juce::Font (choice.name, 15.0f, juce::Font::plain).getTypefacePtr();
        ASSERT_EQ (typeface->getName(), choice.name);
        EXPECT_EQ (missingGlyphs (*typeface, text), 0) << nameOf (language);

        // The check itself sees boxes: the framework's Latin default lacks these glyphs.
        EXPECT_GT (missingGlyphs (*juce::Font::getDefaultTypefaceForFont (juce::Font (15.0f)), text), 0);
    }
}

TEST (InterfaceLanguage, TheDefaultTypefaceFollowsTheLanguageAndStays)
{
    auto& laf = juce::Desktop::getInstance().getDefaultLookAndFeel();
    const auto defaultSans = [&laf] { return laf.getTypefaceForFont (juce::Font (15.0f))->getName(); };
    const auto before = defaultSans();

    {
        const platform::ScopedPreferredLanguages english ({ "en-US" });
        applyDefaultTypefaceForInterfaceLanguage();
        EXPECT_EQ (defaultSans(), before);
    }
    {
        const platform::ScopedPreferredLanguages japanese ({ "ja-JP" });
        applyDefaultTypefaceForInterfaceLanguage();
        EXPECT_EQ (defaultSans(), platform::defaultTypefaceFor (InterfaceLanguage::Japanese).name);
    }
    {
        const platform::ScopedPreferredLanguages chinese ({ "zh-Hant-TW" });
        applyDefaultTypefaceForInterfaceLanguage();
        EXPECT_EQ (defaultSans(), platform::defaultTypefaceFor (InterfaceLanguage::Chinese).name);

        // English after Chinese changes nothing: the setting is process-wide and stays.
        const platform::ScopedPreferredLanguages mixedCase ({ "ZH-cn" });
        applyDefaultTypefaceForInterfaceLanguage();
        EXPECT_EQ (defaultSans(), platform::defaultTypefaceFor (InterfaceLanguage::Chinese).name);
    }

    laf.setDefaultSansSerifTypefaceName ({});
}
