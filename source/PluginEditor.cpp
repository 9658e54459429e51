#include "PluginEditor.h"

#include "BinaryData.h"
#include "Dialogs.h"
#include "InterfaceLanguage.h"

#include <cstdio>
#include <cstring>

namespace
{
// Every picture is taken from the framework's cache by its bytes, so it is decoded once per
// process however often the window renders.
juce::Image picture (const char* data, int size)
{
    return juce::ImageCache::getFromMemory (data, size);
}

// Where the controls and their pictures sit on the panel.
constexpr int switchX = 26, switchY = 18;
constexpr int plusX = 245, plusY = 240;
constexpr int minusX = 319, minusY = 239; // one pixel above plus, as the panel's socket is
constexpr int logoX = 492, logoY = 18;
const juce::Rectangle<int> badgeBounds { 602, 6, 24, 24 };

// The readout: a right-aligned field of four cells whose first cell starts at x 217.
constexpr int readoutFieldX = 217;
constexpr int readoutCells = 4;
constexpr int glyphTop = 112;
constexpr int pointTop = 182;
constexpr int minusShift = 16; // the minus sign sits this far left of its cell
constexpr int glyphsInStrip = 11; // 0-9 and the minus sign
constexpr int minusGlyph = 10;

void setButtonPictures (juce::ImageButton& button, const juce::Image& normal, const juce::Image& over,
                        const juce::Image& down)
{
    // No resizing or rescaling: the buttons are exactly their pictures' size. A hit-test
    // threshold of 0 lets the whole rectangle take clicks, not only the opaque pixels.
    button.setImages (false, false, false,
                      normal, 1.0f, juce::Colour (0x00000000),
                      over, 1.0f, juce::Colour (0x00000000),
                      down, 1.0f, juce::Colour (0x00000000),
                      0.0f);
}

bool isOn (const juce::AudioProcessorParameter& p)
{
    return p.getValue() >= 0.5f;
}

void setNotifyingListeners (juce::AudioProcessorParameter& p, float normalised)
{
    p.setValue (normalised);
    p.sendValueChangedMessageToListeners (normalised);
}
} // namespace

//==============================================================================
void CustomLookAndFeel_EnableBtn::drawTickBox (juce::Graphics& g, juce::Component&, float, float, float, float,
                                               bool ticked, bool, bool, bool)
{
    g.setImageResamplingQuality (juce::Graphics::lowResamplingQuality);
    const auto states = picture (BinaryData::temp3, BinaryData::temp3Size);
    const int w = states.getWidth();
    const int h = states.getHeight() / 2;
    g.drawImage (states, 0, 0, w, h, 0, ticked ? h : 0, w, h);
}

void CustomLookAndFeel_NoticationBtn::drawImageButton (juce::Graphics& g, juce::Image*, int, int, int, int,
                                                       const juce::Colour&, float, juce::ImageButton&)
{
    g.setImageResamplingQuality (juce::Graphics::lowResamplingQuality);

    juce::Path path;
    path.startNewSubPath (12.0f, 0.0f);
    path.cubicTo (18.6f, 0.0f, 24.0f, 5.4f, 24.0f, 12.0f);
    path.cubicTo (24.0f, 18.6f, 18.6f, 24.0f, 12.0f, 24.0f);
    path.cubicTo (5.4f, 24.0f, 0.0f, 18.6f, 0.0f, 12.0f);
    path.cubicTo (0.0f, 5.4f, 5.4f, 0.0f, 12.0f, 0.0f);
    path.closeSubPath();
    g.setColour (juce::Colour (0xFFFF0000));
    g.fillPath (path);

    path.clear();
    path.addRectangle (10.0f, 4.0f, 4.0f, 10.0f);
    path.addRectangle (10.0f, 17.0f, 4.0f, 4.0f);
    g.setColour (juce::Colour (0xFFFFFFFF));
    g.fillPath (path);
}

void setupSquareLookAndFeelColours (juce::LookAndFeel& laf)
{
    laf.setColour (juce::Slider::rotarySliderFillColourId, juce::Colour (0xFFFF0000));
    laf.setColour (juce::Slider::thumbColourId, juce::Colour (0xFFF2F2F2));
    laf.setColour (juce::Slider::textBoxOutlineColourId, juce::Colour (0x00FFFFFF));
    laf.setColour (juce::Slider::trackColourId, juce::Colour (0xFF000000));
    laf.setColour (juce::TextButton::buttonColourId, juce::Colour (0xFFFFFFFF));
    laf.setColour (juce::TextButton::textColourOffId, juce::Colour (0xFFFF0000));
    // An "on" button swaps the two colours just set.
    laf.setColour (juce::TextButton::buttonOnColourId, laf.findColour (juce::TextButton::textColourOffId));
    laf.setColour (juce::TextButton::textColourOnId, laf.findColour (juce::TextButton::buttonColourId));
}

//==============================================================================
OrvanAudioProcessorEditor::OrvanAudioProcessorEditor (OrvanAudioProcessor& p)
    : AudioProcessorEditor (&p),
      backgroundImage (juce::Image::ARGB, windowWidth, windowHeight, true),
      audioProcessor (p)
{
    // Before anything draws text: the alert windows take the framework's default typeface,
    // which must be able to show Japanese or Chinese when those are the user's language.
    applyDefaultTypefaceForInterfaceLanguage();

    const auto params = audioProcessor.getParameters();

    const auto logo = picture (BinaryData::temp4, BinaryData::temp4Size);

    addAndMakeVisible (logoButton);
    logoButton.setMouseCursor (juce::MouseCursor::PointingHandCursor);
    logoButton.addListener (this);
    setButtonPictures (logoButton, logo, logo, logo);

    // The badge's look-and-feel paints it only through drawImageButton, which the framework
    // calls only while the button has a valid picture: hence the logo, never shown.
    addChildComponent (notificationButton);
    notificationButton.setLookAndFeel (&notificationLookAndFeel);
    notificationButton.setMouseCursor (juce::MouseCursor::PointingHandCursor);
    notificationButton.addListener (this);
    notificationButton.setVisible (false);
    setButtonPictures (notificationButton, logo, logo, logo);

    const auto plusUp = picture (BinaryData::temp9, BinaryData::temp9Size);
    addAndMakeVisible (plusButton);
    plusButton.setMouseCursor (juce::MouseCursor::PointingHandCursor);
    plusButton.addListener (this);
    setButtonPictures (plusButton, plusUp, plusUp, picture (BinaryData::temp10, BinaryData::temp10Size));

    const auto minusUp = picture (BinaryData::temp5, BinaryData::temp5Size);
    addAndMakeVisible (minusButton);
    minusButton.setMouseCursor (juce::MouseCursor::PointingHandCursor);
    minusButton.addListener (this);
    setButtonPictures (minusButton, minusUp, minusUp, picture (BinaryData::temp6, BinaryData::temp6Size));

    for (auto* param : params)
    {
        if (auto* boolean = dynamic_cast<juce::AudioParameterBool*> (param))
        {
            if (boolean->getParameterID() == "dbEnable" && enableButton == nullptr)
            {
                // The component name ties the switch to its parameter in buttonClicked; the
                // button text stays empty so that no label is drawn beside the picture.
                enableButton = std::make_unique<juce::ToggleButton>();
                enableButton->setName (boolean->getName (256));
                enableButton->setVisible (true);
                addAndMakeVisible (*enableButton);
                enableButton->setToggleState (true, juce::dontSendNotification);
                enableButton->setMouseCursor (juce::MouseCursor::PointingHandCursor);
                enableButton->addListener (this);
                enableButton->setLookAndFeel (&enableLookAndFeel);
            }
        }
        else if (auto* number = dynamic_cast<juce::AudioParameterFloat*> (param))
        {
            if (number->getParameterID() != "dbMain")
                juce::AlertWindow::showMessageBox (juce::MessageBoxIconType::WarningIcon, "ParamError",
                                                   "paramID : " + number->getParameterID());
        }
    }

    // Clicking a control must not take the keyboard focus from the host, and the framework
    // would otherwise draw a focus frame around the switch.
    for (auto* button : { static_cast<juce::Button*> (&logoButton), static_cast<juce::Button*> (&notificationButton),
                          static_cast<juce::Button*> (&plusButton), static_cast<juce::Button*> (&minusButton),
                          static_cast<juce::Button*> (enableButton.get()) })
        if (button != nullptr)
            button->setMouseClickGrabsKeyboardFocus (false);

    setupSquareLookAndFeelColours (squareLookAndFeel);

    displayLevel = (double) audioProcessor.levelParameter->get();

    setSize (windowWidth, windowHeight);
    drawBG();
    // The update check is not started here: an editor under construction is never on screen,
    // and one a host builds only to inspect it, and never opens, must send no request. The
    // first change of visibility or hierarchy, or the first tick, that finds the window
    // showing starts it (startUpdateCheckOnceShown).
    startTimer (50);
}

OrvanAudioProcessorEditor::~OrvanAudioProcessorEditor()
{
    stopTimer();
    cancelPendingUpdate();

    if (enableButton != nullptr)
        enableButton->setLookAndFeel (nullptr);
    notificationButton.setLookAndFeel (nullptr);
    enableButton.reset();
}

//==============================================================================
void OrvanAudioProcessorEditor::paint (juce::Graphics& g)
{
    // Low quality keeps hard pixel edges when a display scales the window.
    g.setImageResamplingQuality (juce::Graphics::lowResamplingQuality);
    g.drawImage (backgroundImage, 0, 0, backgroundImage.getWidth(), backgroundImage.getHeight(),
                 0, 0, backgroundImage.getWidth(), backgroundImage.getHeight());
}

void OrvanAudioProcessorEditor::resized()
{
    const auto switchStates = picture (BinaryData::temp3, BinaryData::temp3Size);
    const auto buttonSize = picture (BinaryData::temp9, BinaryData::temp9Size).getBounds();
    const auto logoSize = picture (BinaryData::temp4, BinaryData::temp4Size).getBounds();

    if (enableButton != nullptr)
        enableButton->setBounds (switchX, switchY, switchStates.getWidth(), switchStates.getHeight() / 2);
    plusButton.setBounds (buttonSize.withPosition (plusX, plusY));
    minusButton.setBounds (buttonSize.withPosition (minusX, minusY));
    logoButton.setBounds (logoSize.withPosition (logoX, logoY));
    notificationButton.setBounds (badgeBounds);
}

void OrvanAudioProcessorEditor::visibilityChanged()       { startUpdateCheckOnceShown(); }
void OrvanAudioProcessorEditor::parentHierarchyChanged()  { startUpdateCheckOnceShown(); }

void OrvanAudioProcessorEditor::startUpdateCheckOnceShown()
{
    // One request per opened window, made the first time the window shows, after it is
    // complete, whatever the network does. When no thread can be started (or the build has
    // the check off), the window simply never shows the badge.
    if (updateCheckStarted || ! isShowing())
        return;

    updateCheckStarted = true;
    startUpdateCheck (updateFlag);
}

void OrvanAudioProcessorEditor::timerCallback()
{
    // Catches a window that starts showing without a message to this component (a parent
    // made visible, a peer restored from minimised).
    startUpdateCheckOnceShown();

    // Host automation reaches the controls here; setting them sends nothing back.
    if (enableButton != nullptr)
        enableButton->setToggleState (isOn (*audioProcessor.enableParameter), juce::dontSendNotification);
    displayLevel = (double) audioProcessor.levelParameter->get();

    if (! isShowing())
        return;

    notificationButton.setVisible (updateAvailable.load());

    // At most one rendering queued at a time; a slow message thread skips ticks, not frames.
    if (! isUpdatePending())
    {
        triggerAsyncUpdate();
        repaint();
    }
}

void OrvanAudioProcessorEditor::handleAsyncUpdate()
{
    drawBG();
}

//==============================================================================
bool OrvanAudioProcessorEditor::limiterIsOn() const
{
    return isOn (*audioProcessor.enableParameter);
}

void OrvanAudioProcessorEditor::drawBG()
{
    juce::Graphics g (backgroundImage);

    // The panels' soft edge is translucent: start from clear so that repeated renderings
    // do not pile up over it.
    backgroundImage.clear (backgroundImage.getBounds());

    if (limiterIsOn())
    {
        g.drawImageAt (picture (BinaryData::temp2, BinaryData::temp2Size), 0, 0);
        drawReadout (g);
    }
    else
    {
        g.drawImageAt (picture (BinaryData::temp1, BinaryData::temp1Size), 0, 0);
    }

    const auto switchStates = picture (BinaryData::temp3, BinaryData::temp3Size);
    const int switchW = switchStates.getWidth();
    const int switchH = switchStates.getHeight() / 2;
    const bool switchOn = enableButton != nullptr && enableButton->getToggleState();
    g.drawImage (switchStates, switchX, switchY, switchW, switchH, 0, switchOn ? switchH : 0, switchW, switchH);

    const bool plusHeld = plusButton.getState() == juce::Button::buttonDown;
    g.drawImageAt (plusHeld ? picture (BinaryData::temp10, BinaryData::temp10Size)
                            : picture (BinaryData::temp9, BinaryData::temp9Size),
                   plusX, plusY);

    const bool minusHeld = minusButton.getState() == juce::Button::buttonDown;
    g.drawImageAt (minusHeld ? picture (BinaryData::temp6, BinaryData::temp6Size)
                             : picture (BinaryData::temp5, BinaryData::temp5Size),
                   minusX, minusY);

    g.drawImageAt (picture (BinaryData::temp4, BinaryData::temp4Size), logoX, logoY);
}

void OrvanAudioProcessorEditor::drawReadout (juce::Graphics& g)
{
    // One decimal of the exact stored value, at most four characters: within the range
    // always a digit, a point and a digit, after a minus sign for negative levels.
    char formatted[32] = {};
    std::snprintf (formatted, sizeof (formatted), "%.1f", displayLevel);
    const int n = (int) juce::jmin (std::strlen (formatted), (size_t) readoutCells);
    if (n == 0)
        return;

    const auto glyphs = picture (BinaryData::temp7, BinaryData::temp7Size);
    const auto point = picture (BinaryData::temp8, BinaryData::temp8Size);
    const int cellWidth = glyphs.getWidth();
    const int glyphHeight = glyphs.getHeight() / glyphsInStrip;

    int x = readoutFieldX + (readoutCells - n) * cellWidth;

    for (int i = 0; i < n; ++i)
    {
        if (i > 0)
            x += formatted[i - 1] == '.' ? point.getWidth() : cellWidth;

        const char c = formatted[i];

        if (c == '.')
        {
            g.drawImageAt (point, x, pointTop);
            continue;
        }

        int glyph = 0;
        int glyphX = x;

        if (c >= '0' && c <= '9')
            glyph = c - '0';
        else if (c == '-')
        {
            glyph = minusGlyph;
            glyphX = x - minusShift;
        }

        g.drawImage (glyphs, glyphX, glyphTop, cellWidth, glyphHeight, 0, glyph * glyphHeight, cellWidth, glyphHeight);
    }
}

//==============================================================================
void OrvanAudioProcessorEditor::buttonClicked (juce::Button* button)
{
    if (button == &logoButton || button == &notificationButton)
    {
        if (updateAvailable.load())
        {
            // The host may close the window while the dialog waits for an answer; then the
            // about box has no window left to belong to.
            const juce::Component::SafePointer<juce::Component> stillOpen (this);
            showUpdateDialog();
            if (stillOpen == nullptr)
                return;
        }
        showAboutBox();
        return;
    }

    if (limiterIsOn() && (button == &plusButton || button == &minusButton))
    {
        stepLevel (button == &plusButton);
        return;
    }

    // Plus and minus land here while the limiter is off and find no parameter: their
    // names are empty.
    toggleEnable (*button);
}

void OrvanAudioProcessorEditor::stepLevel (bool up)
{
    for (auto* param : audioProcessor.getParameters())
    {
        if (param->getName (256) != "Level")
            continue;

        if (auto* ranged = dynamic_cast<juce::RangedAudioParameter*> (param))
        {
            const float current = ranged->convertFrom0to1 (ranged->getValue());
            const float next = up ? current + 0.1f : current - 0.1f;
            // The conversion snaps to the 0.01 dB grid and clamps to the range, so steps
            // never drift and a step past either end lands on the end.
            setNotifyingListeners (*ranged, ranged->convertTo0to1 (next));
        }
    }
}

void OrvanAudioProcessorEditor::toggleEnable (juce::Button& button)
{
    for (auto* param : audioProcessor.getParameters())
    {
        if (param->getName (256) != button.getName())
            continue;

        // The framework has already flipped the button; the parameter follows it inside one
        // gesture, so that a host records the click as one change.
        if (param->isBoolean() && &button == enableButton.get())
        {
            param->beginChangeGesture();
            if (isOn (*param) != button.getToggleState())
                setNotifyingListeners (*param, button.getToggleState() ? 1.0f : 0.0f);
            param->endChangeGesture();
        }
        return;
    }
}

//==============================================================================
// Both dialogs are built anew on each click, in the language the system names now.
void OrvanAudioProcessorEditor::showAboutBox()
{
    runAboutBox();
}

void OrvanAudioProcessorEditor::showUpdateDialog()
{
    runUpdateDialog();
}
