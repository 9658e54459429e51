#pragma once

#include "PluginProcessor.h"
#include "UpdateCheck.h"

#include <juce_gui_basics/juce_gui_basics.h>

#include <atomic>
#include <memory>

// The common base of the editor's own look-and-feels: the framework's V3 look throughout.
class CustomLookAndFeel : public juce::LookAndFeel_V3
{
public:
    CustomLookAndFeel() = default;
    ~CustomLookAndFeel() override = default;
};

// Draws the enable switch as one half of its two-state picture: pressed in when ticked,
// raised when not. The framework's tick-box position, hover and press flags are ignored on
// purpose; the switch shows nothing but its state.
class CustomLookAndFeel_EnableBtn : public CustomLookAndFeel
{
public:
    CustomLookAndFeel_EnableBtn() = default;
    ~CustomLookAndFeel_EnableBtn() override = default;

    void drawTickBox (juce::Graphics&, juce::Component&, float x, float y, float w, float h,
                      bool ticked, bool isEnabled, bool shouldDrawButtonAsHighlighted,
                      bool shouldDrawButtonAsDown) override;
};

// Draws the update badge, a red disc with a white exclamation mark filling the button's
// 24 x 24 bounds, in place of the button's picture and the same in every button state.
class CustomLookAndFeel_NoticationBtn : public CustomLookAndFeel
{
public:
    CustomLookAndFeel_NoticationBtn() = default;
    ~CustomLookAndFeel_NoticationBtn() override = default;

    void drawImageButton (juce::Graphics&, juce::Image*, int imageX, int imageY, int imageW, int imageH,
                          const juce::Colour& overlayColour, float imageOpacity, juce::ImageButton&) override;
};

// White buttons with red text, swapped while a button is on; slider colours to match.
void setupSquareLookAndFeelColours (juce::LookAndFeel& laf);

// The plug-in window: a fixed 632 x 340 picture of the device, rendered into one cached image,
// with the live controls painted over it at the same places. The controls follow the
// parameters through a 50 ms timer; the editor writes parameters only when a control is
// clicked, and never touches the engine.
class OrvanAudioProcessorEditor : public juce::AudioProcessorEditor,
                                  public juce::Timer,
                                  public juce::Button::Listener,
                                  public juce::AsyncUpdater
{
public:
    static constexpr int windowWidth = 632;
    static constexpr int windowHeight = 340;

    explicit OrvanAudioProcessorEditor (OrvanAudioProcessor&);
    ~OrvanAudioProcessorEditor() override;

    void paint (juce::Graphics&) override;
    void resized() override;
    void timerCallback() override;
    void handleAsyncUpdate() override;
    void visibilityChanged() override;
    void parentHierarchyChanged() override;
    void buttonClicked (juce::Button*) override;

    // Renders the whole device into backgroundImage: the panel for the limiter's state, the
    // level readout while on, the switch, the plus and minus buttons and the logo.
    void drawBG();

    // The answer of this window's update check, shared with the check's thread so that an
    // answer arriving after the window closed lands there and reaches nothing else.
    // updateAvailable is set once by that thread when a newer version exists and read by the
    // message thread on every tick to show the badge.
    const std::shared_ptr<UpdateFlag> updateFlag = std::make_shared<UpdateFlag>();
    std::atomic<bool>& updateAvailable = updateFlag->available;

private:
    void drawReadout (juce::Graphics&);
    void startUpdateCheckOnceShown();
    void stepLevel (bool up);
    void toggleEnable (juce::Button&);
    bool limiterIsOn() const;

    // The about box, opened from the logo and the badge.
    void showAboutBox();
    // The offer of a newer version, shown before the about box while one is known.
    void showUpdateDialog();

    juce::Image backgroundImage;                   // the cached picture of the whole window
    OrvanAudioProcessor& audioProcessor;           // source of the parameters
    std::unique_ptr<juce::ToggleButton> enableButton; // bound to dbEnable, made while walking the parameters
    juce::ImageButton logoButton;                  // opens the about box (after the update offer)
    juce::ImageButton plusButton;                  // raises the level by 0.1 dB
    juce::ImageButton minusButton;                 // lowers the level by 0.1 dB
    double displayLevel = 0.0;                     // dB, the level the readout shows
    bool updateCheckStarted = false;               // this window's one request has been made
    juce::ImageButton notificationButton;          // the update badge, hidden until an update is known

    // Declared after the controls so that they are destroyed before the image buttons; the
    // destructor detaches every control that uses them first.
    CustomLookAndFeel_EnableBtn enableLookAndFeel;
    CustomLookAndFeel_NoticationBtn notificationLookAndFeel;
    CustomLookAndFeel squareLookAndFeel;           // the square colour scheme, for the dialogs

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (OrvanAudioProcessorEditor)
};
