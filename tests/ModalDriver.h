#pragma once

// Plays the user's part while the code under test runs modal alert windows: on each step it
// waits until an alert window is modal (a new one, or the same one for steps that act on a
// window still open), notes its title and answers it as a user would, through the window's
// own peer (real key presses, real mouse clicks). Needs a display (the tests run under
// xvfb-run), since an alert window is always a desktop window.

#include <juce_gui_basics/juce_gui_basics.h>

#include <gtest/gtest.h>

#include <functional>
#include <vector>

class ModalDriver : private juce::Timer
{
public:
    using Action = std::function<void (juce::AlertWindow&)>;

    struct Step
    {
        Action action;
        bool sameWindow = false;     // acts on the window the previous step left open
    };

    struct Seen
    {
        juce::String title;
        juce::MessageBoxIconType icon;
        juce::StringArray buttons;
    };

    explicit ModalDriver (std::vector<Step> stepsToPlay)
        : steps (std::move (stepsToPlay))
    {
        startTimer (20);
    }

    ~ModalDriver() override
    {
        stopTimer();
        EXPECT_EQ (next, steps.size()) << "not every dialog the script expected came up";
    }

    const std::vector<Seen>& seen() const noexcept { return windows; }

    static Step press (int keyCode) { return { [keyCode] (juce::AlertWindow& w) { pressKey (w, keyCode); } }; }
    static Step click (const juce::String& text) { return { [text] (juce::AlertWindow& w) { clickButton (w, text); } }; }
    static Step again (Step step) { step.sameWindow = true; return step; }

    static juce::StringArray buttonTexts (juce::AlertWindow& window)
    {
        juce::StringArray texts;
        for (auto* child : window.getChildren())
            if (auto* button = dynamic_cast<juce::TextButton*> (child))
                texts.add (button->getButtonText());
        return texts;
    }

    // A left click in the middle of `target`, sent through the peer of `window`, the desktop
    // window that holds it.
    static void clickCentre (juce::Component& window, juce::Component& target)
    {
        auto* peer = window.getPeer();
        ASSERT_NE (peer, nullptr);
        const auto at = window.getLocalPoint (&target, target.getLocalBounds().getCentre()).toFloat();
        const auto now = juce::Time::currentTimeMillis();

        peer->handleMouseEvent (juce::MouseInputSource::InputSourceType::mouse, at,
                                juce::ModifierKeys (juce::ModifierKeys::leftButtonModifier),
                                juce::MouseInputSource::defaultPressure, juce::MouseInputSource::defaultOrientation, now);
        peer->handleMouseEvent (juce::MouseInputSource::InputSourceType::mouse, at, juce::ModifierKeys(),
                                juce::MouseInputSource::defaultPressure, juce::MouseInputSource::defaultOrientation, now + 20);
    }

    static void pressKey (juce::AlertWindow& window, int keyCode)
    {
        auto* peer = window.getPeer();
        ASSERT_NE (peer, nullptr);
        peer->handleKeyPress (juce::KeyPress (keyCode));
    }

    static void clickButton (juce::AlertWindow& window, const juce::String& text)
    {
        for (auto* child : window.getChildren())
        {
            auto* button = dynamic_cast<juce::TextButton*> (child);

            if (button == nullptr || button->getButtonText() != text)
                continue;

            clickCentre (window, *button);
            return;
        }

        ADD_FAILURE() << "no button \"" << text << "\" in \"" << window.getName() << "\"";
    }

private:
    void timerCallback() override
    {
        ++ticks;
        auto* alert = dynamic_cast<juce::AlertWindow*> (juce::Component::getCurrentlyModalComponent());

        // Give a window a few ticks to come up and settle, as a user would.
        if (alert != nullptr && alert->isShowing() && ticks - lastActionTick >= 5 && next < steps.size())
        {
            const bool isNew = lastWindow.getComponent() != alert;

            if (isNew != steps[next].sameWindow)
            {
                lastWindow = alert;
                lastActionTick = ticks;
                windows.push_back ({ alert->getName(), alert->getAlertType(), buttonTexts (*alert) });
                steps[next++].action (*alert);
                return;
            }
        }

        // A dialog the script did not expect, or one that does not close: end it, and fail.
        if (alert != nullptr && ticks - lastActionTick > 250)
        {
            ADD_FAILURE() << "dialog \"" << alert->getName() << "\" left open";
            alert->exitModalState (-1);
            lastActionTick = ticks;
        }
    }

    std::vector<Step> steps;
    size_t next = 0;
    int ticks = 0, lastActionTick = 0;
    juce::Component::SafePointer<juce::Component> lastWindow;
    std::vector<Seen> windows;
};
