#pragma once

#include "InterfaceLanguage.h"

#include <juce_gui_basics/juce_gui_basics.h>

#include <functional>
#include <memory>

// The plug-in's two dialogs: the about box, and the update dialog that precedes it while a
// newer version is known. Their texts are built here and only here, so the windows, the
// snapshot tool and the tests all read the same words.

struct AboutBoxTexts
{
    juce::String title;
    juce::String message;
    juce::String button;     // the only button, result 1
};

struct UpdateDialogTexts
{
    juce::String title;
    juce::String message;
    juce::String openButton;     // result 1: open the maker's web site
    juce::String laterButton;    // result 2: nothing
};

// What the update dialog's modal loop returns.
enum UpdateDialogResult
{
    updateDialogDismissed = 0,     // Escape, or the window closed in another way
    updateDialogOpenWebPage = 1,
    updateDialogCheckLater = 2
};

AboutBoxTexts aboutBoxTexts (InterfaceLanguage language);
UpdateDialogTexts updateDialogTexts (InterfaceLanguage language);

// The windows, ready to run modally (or to be pictured). Each call builds a new one.
std::unique_ptr<juce::AlertWindow> createAboutBox (InterfaceLanguage language);
std::unique_ptr<juce::AlertWindow> createUpdateDialog (InterfaceLanguage language);

// The maker's web site, which the update dialog offers: its root page over HTTPS.
juce::URL makerWebPage();

// Runs the about box modally in the current interface language, then destroys it.
void runAboutBox();

// Runs the update dialog modally in the current interface language and opens the maker's
// web page when the user asks for it. Returns the dialog's result.
int runUpdateDialog();

// What a click on the logo or the badge does: the update dialog first while a newer version
// is known, then the about box whatever the dialog's answer.
void runUpdateNoticeAndAboutBox (bool updateAvailable);

// Replaces the default browser while it exists, so that tests see which page would open
// without starting one. Scopes nest. Message thread only.
class ScopedWebPageOpener
{
public:
    using Opener = std::function<void (const juce::URL&)>;

    explicit ScopedWebPageOpener (Opener opener);
    ~ScopedWebPageOpener();

    ScopedWebPageOpener (const ScopedWebPageOpener&) = delete;
    ScopedWebPageOpener& operator= (const ScopedWebPageOpener&) = delete;

private:
    Opener previous;
};
