#include "Dialogs.h"

namespace
{
    const juce::String productName = JucePlugin_Name;
    const juce::String versionText = JucePlugin_VersionString;
    const juce::String makerName = JucePlugin_Manufacturer;

    // The people credited, the same in every language; the Japanese texts add the katakana
    // reading of a Latin name in full-width parentheses, as the maker's own line does.
    struct Credits
    {
        const char* soundDesign;
        const char* uiDesign;
        const char* development;
        const char* distribution;
        const char* notice;
    };

    Credits creditsFor (InterfaceLanguage language)
    {
        switch (language)
        {
            case InterfaceLanguage::Japanese:
                return { u8"Lena Hartmann（レナ・ハルトマン）",
                         u8"Jonas Ek（ヨナス・エク）",
                         u8"ZANDL-AUDIO（ザンドル・オーディオ）",
                         u8"Nordklang Distribution（ノルトクラング）",
                         u8"© 2026 ZANDL-AUDIO 無断複製・転載を禁じます。" };

            case InterfaceLanguage::Chinese:
                return { "Lena Hartmann",
                         "Jonas Ek",
                         "ZANDL-AUDIO",
                         "Nordklang Distribution",
                         u8"© 2026 ZANDL-AUDIO 保留所有权利。" };

            case InterfaceLanguage::English:
                break;
        }

        return { "Lena Hartmann",
                 "Jonas Ek",
                 "ZANDL-AUDIO",
                 "Nordklang Distribution",
                 u8"© 2026 ZANDL-AUDIO. All rights reserved." };
    }

    struct CreditLabels
    {
        const char* soundDesign;
        const char* uiDesign;
        const char* development;
        const char* distribution;
    };

    CreditLabels creditLabelsFor (InterfaceLanguage language)
    {
        switch (language)
        {
            case InterfaceLanguage::Japanese:
                return { u8"サウンドデザイン : ", u8"UIデザイン : ", u8"開発 : ", u8"販売 : " };

            case InterfaceLanguage::Chinese:
                return { u8"声音设计 : ", u8"UI设计 : ", u8"发展 : ", u8"销售 : " };

            case InterfaceLanguage::English:
                break;
        }

        return { "Sound design : ", "UI Design : ", "Development : ", "Distribute : " };
    }

    juce::String utf8 (const char* text)
    {
        return juce::String (juce::CharPointer_UTF8 (text));
    }

    ScopedWebPageOpener::Opener& webPageOpener()
    {
        static ScopedWebPageOpener::Opener opener;
        return opener;
    }

    void openWebPage (const juce::URL& page)
    {
        if (const auto& opener = webPageOpener())
            opener (page);
        else
            page.launchInDefaultBrowser();     // a browser that does not start is not reported
    }
}

AboutBoxTexts aboutBoxTexts (InterfaceLanguage language)
{
    AboutBoxTexts texts;

    switch (language)
    {
        case InterfaceLanguage::Japanese: texts.title = productName + utf8 (u8"について"); break;
        case InterfaceLanguage::Chinese:  texts.title = utf8 (u8"关于") + productName; break;
        case InterfaceLanguage::English:  texts.title = "About " + productName; break;
    }

    const auto labels = creditLabelsFor (language);
    const auto credits = creditsFor (language);

    texts.message << "Version:" << versionText << "\n"
                  << "\n"
                  << utf8 (labels.soundDesign) << utf8 (credits.soundDesign) << "\n"
                  << utf8 (labels.uiDesign) << utf8 (credits.uiDesign) << "\n"
                  << utf8 (labels.development) << utf8 (credits.development) << "\n"
                  << utf8 (labels.distribution) << utf8 (credits.distribution) << "\n"
                  << "\n"
                  << utf8 (credits.notice);

    texts.button = "  OK  ";
    return texts;
}

UpdateDialogTexts updateDialogTexts (InterfaceLanguage language)
{
    switch (language)
    {
        case InterfaceLanguage::Japanese:
            return { utf8 (u8"新しいバージョンの") + productName + utf8 (u8"がリリースされています"),
                     utf8 (u8"Webサイトから新しいバージョンを入手しますか？ "),
                     utf8 (u8"はい"),
                     utf8 (u8"いいえ") };

        case InterfaceLanguage::Chinese:
            return { utf8 (u8"新") + productName + utf8 (u8"发布"),
                     utf8 (u8"你想获得新版本吗？"),
                     utf8 (u8"是的"),
                     utf8 (u8"没有") };

        case InterfaceLanguage::English:
            break;
    }

    return { "New " + productName + " is released",
             "Do you want to get the new version ? ",
             "Yes, open the webpage",
             "No, check later" };
}

std::unique_ptr<juce::AlertWindow> createAboutBox (InterfaceLanguage language)
{
    const auto texts = aboutBoxTexts (language);
    auto window = std::make_unique<juce::AlertWindow> (texts.title, texts.message,
                                                       juce::MessageBoxIconType::NoIcon, nullptr);
    window->addButton (texts.button, 1, juce::KeyPress(), juce::KeyPress());
    return window;
}

std::unique_ptr<juce::AlertWindow> createUpdateDialog (InterfaceLanguage language)
{
    const auto texts = updateDialogTexts (language);
    auto window = std::make_unique<juce::AlertWindow> (texts.title, texts.message,
                                                       juce::MessageBoxIconType::WarningIcon, nullptr);
    window->addButton (texts.openButton, updateDialogOpenWebPage, juce::KeyPress(), juce::KeyPress());
    window->addButton (texts.laterButton, updateDialogCheckLater, juce::KeyPress(), juce::KeyPress());

    // With two answers neither is the obvious default, so Return must not pick one: the
    // buttons take no keyboard focus, and the window itself ignores Return with two buttons.
    for (auto* child : window->getChildren())
        if (auto* button = dynamic_cast<juce::Button*> (child))
            button->setWantsKeyboardFocus (false);
    return window;
}

juce::URL makerWebPage()
{
    return juce::URL (juce::String (JucePlugin_ManufacturerWebsite).trimCharactersAtEnd ("/") + "/");
}

void runAboutBox()
{
    auto window = createAboutBox (getInterfaceLanguage());
    window->runModalLoop();
}

int runUpdateDialog()
{
    auto window = createUpdateDialog (getInterfaceLanguage());
    const auto result = window->runModalLoop();

    if (result == updateDialogOpenWebPage)
        openWebPage (makerWebPage());

    return result;
}

void runUpdateNoticeAndAboutBox (bool updateAvailable)
{
    if (updateAvailable)
        runUpdateDialog();

    runAboutBox();
}

ScopedWebPageOpener::ScopedWebPageOpener (Opener opener)
    : previous (std::move (webPageOpener()))
{
    webPageOpener() = std::move (opener);
}

ScopedWebPageOpener::~ScopedWebPageOpener()
{
    webPageOpener() = std::move (previous);
}
