#include "Dialogs.h"

#include <gtest/gtest.h>

namespace
{
    juce::String u (const char* utf8) { return juce::String (juce::CharPointer_UTF8 (utf8)); }

    const InterfaceLanguage allLanguages[] = { InterfaceLanguage::English, InterfaceLanguage::Japanese,
                                               InterfaceLanguage::Chinese };
}

TEST (DialogTexts, AboutBoxTitlesLabelsAndButton)
{
    struct Case
    {
        InterfaceLanguage language;
        juce::String title;
        juce::StringArray labels;
        juce::String development;
    };

    const Case cases[] = {
        { InterfaceLanguage::English, "About Orvan",
          { "Sound design : ", "UI Design : ", "Development : ", "Distribute : " },
          "Development : ZANDL-AUDIO" },
        { InterfaceLanguage::Japanese, u (u8"Orvanについて"),
          { u (u8"サウンドデザイン : "), u (u8"UIデザイン : "), u (u8"開発 : "), u (u8"販売 : ") },
          u (u8"開発 : ZANDL-AUDIO（ザンドル・オーディオ）") },
        { InterfaceLanguage::Chinese, u (u8"关于Orvan"),
          { u (u8"声音设计 : "), u (u8"UI设计 : "), u (u8"发展 : "), u (u8"销售 : ") },
          u (u8"发展 : ZANDL-AUDIO") },
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.title.toStdString());
        const auto texts = aboutBoxTexts (c.language);

        EXPECT_EQ (texts.title, c.title);
        EXPECT_EQ (texts.button, "  OK  ");

        // Eight lines, the last without a line feed.
        const auto lines = juce::StringArray::fromTokens (texts.message, "\n", {});
        ASSERT_EQ (lines.size(), 8);
        EXPECT_FALSE (texts.message.endsWithChar ('\n'));
        EXPECT_EQ (lines[0], "Version:1.0.2");
        EXPECT_EQ (lines[1], "");
        for (int i = 0; i < 4; ++i)
        {
            EXPECT_TRUE (lines[2 + i].startsWith (c.labels[i])) << lines[2 + i];
            EXPECT_GT (lines[2 + i].length(), c.labels[i].length()) << "a credit without a name";
        }
        EXPECT_EQ (lines[4], c.development);
        EXPECT_EQ (lines[6], "");
        EXPECT_TRUE (lines[7].isNotEmpty());
    }
}

TEST (DialogTexts, TheSamePeopleAreCreditedInEveryLanguage)
{
    const auto english = juce::StringArray::fromTokens (aboutBoxTexts (InterfaceLanguage::English).message, "\n", {});

    for (const auto language : allLanguages)
    {
        const auto lines = juce::StringArray::fromTokens (aboutBoxTexts (language).message, "\n", {});

        for (const int line : { 2, 3, 5 })
        {
            const auto name = english[line].fromFirstOccurrenceOf (" : ", false, false);
            EXPECT_TRUE (lines[line].contains (name)) << lines[line] << " does not credit " << name;
        }
    }
}

TEST (DialogTexts, UpdateDialogTextsPerLanguage)
{
    struct Case { InterfaceLanguage language; UpdateDialogTexts expected; };
    const Case cases[] = {
        { InterfaceLanguage::English,
          { "New Orvan is released", "Do you want to get the new version ? ", "Yes, open the webpage", "No, check later" } },
        { InterfaceLanguage::Japanese,
          { u (u8"新しいバージョンのOrvanがリリースされています"), u (u8"Webサイトから新しいバージョンを入手しますか？ "),
            u (u8"はい"), u (u8"いいえ") } },
        { InterfaceLanguage::Chinese,
          { u (u8"新Orvan发布"), u (u8"你想获得新版本吗？"), u (u8"是的"), u (u8"没有") } },
    };

    for (const auto& c : cases)
    {
        const auto texts = updateDialogTexts (c.language);
        EXPECT_EQ (texts.title, c.expected.title);
        EXPECT_EQ (texts.message, c.expected.message);
        EXPECT_EQ (texts.openButton, c.expected.openButton);
        EXPECT_EQ (texts.laterButton, c.expected.laterButton);
    }

    EXPECT_EQ (makerWebPage().toString (true), "https://zandl-audio.com/");
}
