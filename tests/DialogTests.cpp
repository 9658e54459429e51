#include "Dialogs.h"
#include "InterfaceLanguage.h"
#include "ModalDriver.h"
#include "platform/PreferredLanguages.h"

#include <gtest/gtest.h>

namespace
{
    juce::String u (const char* utf8) { return juce::String (juce::CharPointer_UTF8 (utf8)); }

    const juce::String aboutEnglish = "About Orvan";
    const juce::String updateEnglish = "New Orvan is released";

    // Records the pages the dialogs would open instead of starting a browser.
    struct RecordedPages
    {
        juce::StringArray opened;
        ScopedWebPageOpener opener { [this] (const juce::URL& page) { opened.add (page.toString (true)); } };
    };

    juce::StringArray titlesOf (const ModalDriver& driver)
    {
        juce::StringArray titles;
        for (const auto& window : driver.seen())
            titles.add (window.title);
        return titles;
    }
}

TEST (Dialogs, WindowsCarryTheirTitleIconAndButtons)
{
    for (const auto language : { InterfaceLanguage::English, InterfaceLanguage::Japanese, InterfaceLanguage::Chinese })
    {
        const auto about = createAboutBox (language);
        EXPECT_EQ (about->getName(), aboutBoxTexts (language).title);
        EXPECT_EQ (about->getAlertType(), juce::MessageBoxIconType::NoIcon);
        EXPECT_EQ (ModalDriver::buttonTexts (*about), juce::StringArray ("  OK  "));

        const auto texts = updateDialogTexts (language);
        const auto update = createUpdateDialog (language);
        EXPECT_EQ (update->getName(), texts.title);
        EXPECT_EQ (update->getAlertType(), juce::MessageBoxIconType::WarningIcon);
        EXPECT_EQ (ModalDriver::buttonTexts (*update), juce::StringArray (texts.openButton, texts.laterButton));
    }
}

TEST (Dialogs, UpdateDialogResultsAndTheWebPage)
{
    const platform::ScopedPreferredLanguages english ({ "en-US" });

    struct Case { ModalDriver::Step answer; int result; bool opensPage; };
    const Case cases[] = {
        { ModalDriver::click ("Yes, open the webpage"), updateDialogOpenWebPage, true },
        { ModalDriver::click ("No, check later"), updateDialogCheckLater, false },
        { ModalDriver::press (juce::KeyPress::escapeKey), updateDialogDismissed, false },
    };

    for (const auto& c : cases)
    {
        RecordedPages pages;
        ModalDriver driver ({ c.answer });

        EXPECT_EQ (runUpdateDialog(), c.result);
        EXPECT_EQ (pages.opened, c.opensPage ? juce::StringArray ("https://zandl-audio.com/") : juce::StringArray());
        ASSERT_EQ (driver.seen().size(), 1u);
        EXPECT_EQ (driver.seen()[0].icon, juce::MessageBoxIconType::WarningIcon);
    }
}

// A click on the logo or the badge: the update dialog while a newer version is known, then the
// about box, whatever the dialog's answer and however each box is dismissed.
TEST (Dialogs, TheAboutBoxFollowsTheUpdateDialogInEveryCase)
{
    using D = ModalDriver;
    const auto okButton = D::click ("  OK  ");

    struct Case
    {
        const char* what;
        juce::StringArray preferred;
        bool updateAvailable;
        std::vector<D::Step> script;
        juce::StringArray titles;
        bool opensPage;
    };

    const Case cases[] = {
        { "no update: the about box alone", { "en-US" }, false,
          { okButton }, { aboutEnglish }, false },
        { "open the web page", { "en-US" }, true,
          { D::click ("Yes, open the webpage"), okButton }, { updateEnglish, aboutEnglish }, true },
        { "check later; Return closes the about box", { "en-GB" }, true,
          { D::click ("No, check later"), D::press (juce::KeyPress::returnKey) }, { updateEnglish, aboutEnglish }, false },
        // Two answers and no default: Return leaves the dialog open, Escape then closes it.
        { "Return chooses nothing, Escape closes", { "fr-FR", "ja-JP" }, true,
          { D::press (juce::KeyPress::returnKey), D::again (D::press (juce::KeyPress::escapeKey)), okButton },
          { updateEnglish, updateEnglish, aboutEnglish }, false },
        { "Tab, then Return, chooses nothing either", { "en-US" }, true,
          { D::press (juce::KeyPress::tabKey), D::again (D::press (juce::KeyPress::returnKey)),
            D::again (D::click ("No, check later")), okButton },
          { updateEnglish, updateEnglish, updateEnglish, aboutEnglish }, false },
        { "Japanese, Escape on both", { "ja-JP" }, true,
          { D::press (juce::KeyPress::escapeKey), D::press (juce::KeyPress::escapeKey) },
          { u (u8"新しいバージョンのOrvanがリリースされています"), u (u8"Orvanについて") }, false },
        { "Chinese, yes", { "zh-Hant-TW" }, true,
          { D::click (u (u8"是的")), okButton }, { u (u8"新Orvan发布"), u (u8"关于Orvan") }, true },
        { "Chinese, no", { "zh-Hans-CN" }, true,
          { D::click (u (u8"没有")), okButton }, { u (u8"新Orvan发布"), u (u8"关于Orvan") }, false },
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.what);
        const platform::ScopedPreferredLanguages preferred (c.preferred);
        RecordedPages pages;
        ModalDriver driver (c.script);

        runUpdateNoticeAndAboutBox (c.updateAvailable);

        EXPECT_EQ (titlesOf (driver), c.titles);
        EXPECT_EQ (pages.opened, c.opensPage ? juce::StringArray ("https://zandl-audio.com/") : juce::StringArray());
        EXPECT_EQ (juce::Component::getCurrentlyModalComponent(), nullptr);
    }
}

TEST (Dialogs, AskingAgainAsksAgain)
{
    const platform::ScopedPreferredLanguages english ({ "en-US" });
    RecordedPages pages;
    ModalDriver driver ({ ModalDriver::click ("No, check later"), ModalDriver::click ("  OK  "),
                          ModalDriver::click ("No, check later"), ModalDriver::click ("  OK  ") });

    runUpdateNoticeAndAboutBox (true);
    runUpdateNoticeAndAboutBox (true);

    EXPECT_EQ (titlesOf (driver), juce::StringArray (updateEnglish, aboutEnglish, updateEnglish, aboutEnglish));
    EXPECT_TRUE (pages.opened.isEmpty());
}

//==============================================================================
// The same dialogs reached as a user reaches them: a click on the window's logo or badge.
#include "HeadlessWindow.h"
#include "PluginEditor.h"
#include "PluginProcessor.h"

namespace
{
    struct WindowClicks : ::testing::Test
    {
        void open()
        {
            window = std::make_unique<orvan::headless::Window> (std::make_unique<OrvanAudioProcessorEditor> (processor));
        }

        OrvanAudioProcessorEditor& editor() { return dynamic_cast<OrvanAudioProcessorEditor&> (window->getContent()); }

        // The children in the order the editor adds them: logo, badge, plus, minus, switch.
        juce::Component& logo() { return *editor().getChildComponent (0); }
        juce::Component& badge() { return *editor().getChildComponent (1); }

        // A real click through the window's peer; returns once the dialogs it opens are closed.
        void click (juce::Component& target) { ModalDriver::clickCentre (*window, target); }

        OrvanAudioProcessor processor;
        std::unique_ptr<orvan::headless::Window> window;
    };
}

TEST_F (WindowClicks, TheLogoOpensTheAboutBoxAloneWithoutAnUpdate)
{
    const platform::ScopedPreferredLanguages english ({ "en-US" });
    open();
    ModalDriver driver ({ ModalDriver::click ("  OK  ") });

    click (logo());

    EXPECT_EQ (titlesOf (driver), juce::StringArray (aboutEnglish));
    EXPECT_FALSE (badge().isVisible());
}

TEST_F (WindowClicks, LogoAndBadgeOfferTheUpdateFirst)
{
    const platform::ScopedPreferredLanguages japanese ({ "ja-JP" });
    open();
    editor().updateAvailable = true;
    orvan::headless::pump (120);
    ASSERT_TRUE (badge().isVisible());

    RecordedPages pages;
    ModalDriver driver ({ ModalDriver::click (u (u8"いいえ")), ModalDriver::click ("  OK  "),
                          ModalDriver::click (u (u8"はい")), ModalDriver::press (juce::KeyPress::escapeKey) });

    click (badge());
    click (logo());

    EXPECT_EQ (titlesOf (driver), juce::StringArray (u (u8"新しいバージョンのOrvanがリリースされています"), u (u8"Orvanについて"),
                                                     u (u8"新しいバージョンのOrvanがリリースされています"), u (u8"Orvanについて")));
    EXPECT_EQ (pages.opened, juce::StringArray ("https://zandl-audio.com/"));
    EXPECT_TRUE (badge().isVisible()) << "the answer is not remembered";
}

// The host closes the window while the update offer waits for an answer: the answer still
// works, and no about box comes up for a window that is gone.
TEST_F (WindowClicks, ClosingTheWindowUnderTheUpdateDialogIsSafe)
{
    const platform::ScopedPreferredLanguages english ({ "en-US" });
    open();
    editor().updateAvailable = true;

    RecordedPages pages;
    ModalDriver driver ({ { [this] (juce::AlertWindow& dialog)
                            {
                                window.reset();
                                ModalDriver::clickButton (dialog, "Yes, open the webpage");
                            } } });

    // Not through the peer: the window, and with it the peer, goes away during the click.
    dynamic_cast<juce::Button&> (logo()).triggerClick();
    orvan::headless::pump (2000);

    EXPECT_EQ (titlesOf (driver), juce::StringArray (updateEnglish));
    EXPECT_EQ (pages.opened, juce::StringArray ("https://zandl-audio.com/"));
    EXPECT_EQ (juce::Component::getCurrentlyModalComponent(), nullptr);
}
