// The plug-in window as a user and a host meet it: the picture it shows (checked pixel by
// pixel against the embedded artwork where the layout is exact), what its clicks send to the
// host, how it follows automation, and its life inside a host that opens and closes it.
#include "BinaryData.h"
#include "HeadlessWindow.h"
#include "PluginEditor.h"
#include "PluginProcessor.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace
{
juce::Image picture (const char* data, int size)
{
    return juce::ImageCache::getFromMemory (data, size);
}

juce::Image panelOff() { return picture (BinaryData::temp1, BinaryData::temp1Size); }
juce::Image panelOn() { return picture (BinaryData::temp2, BinaryData::temp2Size); }
juce::Image switchStates() { return picture (BinaryData::temp3, BinaryData::temp3Size); }
juce::Image glyphStrip() { return picture (BinaryData::temp7, BinaryData::temp7Size); }
juce::Image point() { return picture (BinaryData::temp8, BinaryData::temp8Size); }

bool near (juce::Colour a, juce::Colour b)
{
    auto close = [] (int x, int y) { return std::abs (x - y) <= 1; };
    return close (a.getRed(), b.getRed()) && close (a.getGreen(), b.getGreen()) && close (a.getBlue(), b.getBlue())
           && close (a.getAlpha(), b.getAlpha());
}

// Checks that the part `source` of `art` appears at (x, y) of the window: its opaque pixels
// show as they are, and where it is transparent the panel shows through. Pixels the artwork
// only half covers are skipped; they depend on how often the same picture is drawn.
::testing::AssertionResult shows (const juce::Image& window, const juce::Image& panel, int x, int y,
                                  const juce::Image& art, juce::Rectangle<int> source)
{
    int opaque = 0;
    for (int sy = 0; sy < source.getHeight(); ++sy)
        for (int sx = 0; sx < source.getWidth(); ++sx)
        {
            const auto a = art.getPixelAt (source.getX() + sx, source.getY() + sy);
            const auto seen = window.getPixelAt (x + sx, y + sy);
            juce::Colour expected;
            if (a.getAlpha() == 255)
            {
                expected = a;
                ++opaque;
            }
            else if (a.getAlpha() == 0)
                expected = panel.getPixelAt (x + sx, y + sy);
            else
                continue;

            if (! near (seen, expected))
                return ::testing::AssertionFailure()
                       << "at (" << x + sx << ", " << y + sy << ") the window shows " << seen.toDisplayString (true)
                       << ", expected " << expected.toDisplayString (true);
        }
    if (opaque == 0)
        return ::testing::AssertionFailure() << "the artwork has no opaque pixel to check";
    return ::testing::AssertionSuccess();
}

::testing::AssertionResult showsPanel (const juce::Image& window, const juce::Image& panel, juce::Rectangle<int> area)
{
    for (int y = area.getY(); y < area.getBottom(); ++y)
        for (int x = area.getX(); x < area.getRight(); ++x)
            if (! near (window.getPixelAt (x, y), panel.getPixelAt (x, y)))
                return ::testing::AssertionFailure() << "at (" << x << ", " << y << ") something is drawn over the panel";
    return ::testing::AssertionSuccess();
}

juce::Rectangle<int> glyph (int index)
{
    return { 0, index * 83, 51, 83 };
}

// What a host wrapper hears from a parameter.
struct HostLog : juce::AudioProcessorParameter::Listener
{
    std::vector<juce::String> events;

    void parameterValueChanged (int, float value) override { events.push_back ("value " + juce::String (value, 4)); }
    void parameterGestureChanged (int, bool starting) override { events.push_back (starting ? "begin" : "end"); }
};

// A processor and its editor in a window, as a host has them.
class EditorTest : public ::testing::Test
{
protected:
    void SetUp() override { open(); }
    void TearDown() override { close(); }

    void open()
    {
        editor = dynamic_cast<OrvanAudioProcessorEditor*> (processor.createEditorIfNeeded());
        ASSERT_NE (editor, nullptr);
        window = std::make_unique<orvan::headless::Window> (std::unique_ptr<juce::Component> (editor));
    }

    void close()
    {
        window.reset();
        editor = nullptr;
    }

    // Waits for the next timer tick that re-renders the window (it asks its peer for a
    // repaint), then for the rendering it queued. Bounded, so a broken timer fails the checks
    // that follow instead of hanging.
    void tick()
    {
        auto* peer = window->getHeadlessPeer();
        const int before = peer->repaintRequests;
        for (int waited = 0; waited < 2000 && peer->repaintRequests == before; waited += 5)
            orvan::headless::pump (5);
        orvan::headless::pump (20);
    }

    juce::Image snapshot() { return editor->createComponentSnapshot (editor->getLocalBounds(), true, 1.0f); }

    juce::Button& child (int index) { return dynamic_cast<juce::Button&> (*editor->getChildComponent (index)); }
    juce::Button& logo() { return child (0); }
    juce::Button& badge() { return child (1); }
    juce::Button& plus() { return child (2); }
    juce::Button& minus() { return child (3); }
    juce::Button& enable() { return child (4); }

    void setLevel (float db) { processor.levelParameter->setValueNotifyingHost (processor.levelParameter->convertTo0to1 (db)); }
    void setEnabled (bool on) { processor.enableParameter->setValueNotifyingHost (on ? 1.0f : 0.0f); }

    static void click (juce::Button& b)
    {
        b.triggerClick();
        orvan::headless::pump (20);
    }

    OrvanAudioProcessor processor { HostPolicy {} };
    OrvanAudioProcessorEditor* editor = nullptr;
    std::unique_ptr<orvan::headless::Window> window;
};
} // namespace

TEST (Artwork, PicturesHaveTheSizesTheLayoutNeeds)
{
    struct Case
    {
        const char* data;
        int size, width, height;
    };
    const Case cases[] = {
        { BinaryData::temp1, BinaryData::temp1Size, 632, 340 }, { BinaryData::temp2, BinaryData::temp2Size, 632, 340 },
        { BinaryData::temp3, BinaryData::temp3Size, 58, 116 },  { BinaryData::temp4, BinaryData::temp4Size, 123, 41 },
        { BinaryData::temp5, BinaryData::temp5Size, 58, 58 },   { BinaryData::temp6, BinaryData::temp6Size, 58, 58 },
        { BinaryData::temp7, BinaryData::temp7Size, 51, 913 },  { BinaryData::temp8, BinaryData::temp8Size, 20, 20 },
        { BinaryData::temp9, BinaryData::temp9Size, 58, 58 },   { BinaryData::temp10, BinaryData::temp10Size, 58, 58 },
    };
    for (const auto& c : cases)
    {
        const auto image = picture (c.data, c.size);
        EXPECT_EQ (image.getWidth(), c.width);
        EXPECT_EQ (image.getHeight(), c.height);
        // The cache hands out the one decoded image for the same bytes.
        EXPECT_EQ (picture (c.data, c.size).getPixelData(), image.getPixelData());
    }

    // Panels opaque inside a translucent two-pixel edge.
    for (const auto& panel : { panelOff(), panelOn() })
    {
        EXPECT_EQ (panel.getPixelAt (0, 0).getAlpha(), 229);
        EXPECT_EQ (panel.getPixelAt (1, 170).getAlpha(), 229);
        EXPECT_EQ (panel.getPixelAt (2, 2).getAlpha(), 255);
        EXPECT_EQ (panel.getPixelAt (316, 170).getAlpha(), 255);
    }

    // Every glyph cell starts with an empty row and holds ink, so cutting at 83 never
    // catches a neighbour.
    const auto strip = glyphStrip();
    for (int cell = 0; cell < 11; ++cell)
    {
        int ink = 0;
        for (int x = 0; x < 51; ++x)
        {
            EXPECT_EQ (strip.getPixelAt (x, cell * 83).getAlpha(), 0) << "cell " << cell;
            for (int y = 1; y < 83; ++y)
                ink += strip.getPixelAt (x, cell * 83 + y).getAlpha() == 255 ? 1 : 0;
        }
        EXPECT_GT (ink, 100) << "cell " << cell;
    }
}

TEST_F (EditorTest, ControlsSitAtTheirPlacesWithTheBadgeHidden)
{
    EXPECT_EQ (editor->getBounds(), juce::Rectangle<int> (0, 0, 632, 340));
    EXPECT_FALSE (editor->isResizable());
    ASSERT_EQ (editor->getNumChildComponents(), 5);

    struct Case
    {
        juce::Button* button;
        juce::Rectangle<int> bounds;
        bool visible;
    };
    const Case cases[] = {
        { &logo(), { 492, 18, 123, 41 }, true },
        { &badge(), { 602, 6, 24, 24 }, false },
        { &plus(), { 245, 240, 58, 58 }, true },
        { &minus(), { 319, 239, 58, 58 }, true },
        { &enable(), { 26, 18, 58, 58 }, true },
    };
    for (const auto& c : cases)
    {
        EXPECT_EQ (c.button->getBounds(), c.bounds);
        EXPECT_EQ (c.button->isVisible(), c.visible);
        EXPECT_EQ (c.button->getMouseCursor(), juce::MouseCursor (juce::MouseCursor::PointingHandCursor));
    }
    EXPECT_NE (dynamic_cast<juce::ToggleButton*> (&enable()), nullptr);
    EXPECT_EQ (enable().getName(), "Enable");
    EXPECT_EQ (enable().getButtonText(), "");
    EXPECT_TRUE (enable().getToggleState());
}

TEST_F (EditorTest, ReadoutPlacesEachGlyphInItsCell)
{
    constexpr int minusSign = 10;
    struct Case
    {
        float level;
        int first, last; // glyph indices of the two digits
        bool negative;
    };
    const Case cases[] = {
        { -6.0f, 6, 0, true },
        { -0.1f, 0, 1, true },
        { 0.0f, 0, 0, false },
        { -0.04f, 0, 0, true }, // automation between the buttons' steps rounds to "-0.0"
        { -0.15f, 0, 2, true }, // stored just below -0.15
        { -0.14f, 0, 1, true },
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.level);
        setLevel (c.level);
        tick();
        const auto shot = snapshot();
        const auto panel = panelOn();

        if (c.negative)
            EXPECT_TRUE (shows (shot, panel, 201, 112, glyphStrip(), glyph (minusSign)));
        else
            EXPECT_TRUE (showsPanel (shot, panel, { 201, 112, 51, 83 }));
        EXPECT_TRUE (shows (shot, panel, 268, 112, glyphStrip(), glyph (c.first)));
        EXPECT_TRUE (shows (shot, panel, 319, 182, point(), point().getBounds()));
        EXPECT_TRUE (shows (shot, panel, 339, 112, glyphStrip(), glyph (c.last)));
    }
}

TEST_F (EditorTest, DisplayIsGreenAndEmptyWhenOffAmberWhenOn)
{
    const juce::Rectangle<int> glass { 186, 100, 270, 114 };

    setEnabled (false);
    tick();
    auto shot = snapshot();
    EXPECT_TRUE (showsPanel (shot, panelOff(), glass));
    const auto green = shot.getPixelAt (glass.getCentreX(), 105);
    EXPECT_GT (green.getGreen(), green.getRed());
    EXPECT_GT (green.getGreen(), green.getBlue());

    setEnabled (true);
    tick();
    shot = snapshot();
    EXPECT_TRUE (showsPanel (shot, panelOn(), { 400, 180, 50, 25 })); // the printed dB
    const auto amber = shot.getPixelAt (glass.getCentreX(), 105);
    EXPECT_GT (amber.getRed(), amber.getGreen());
    EXPECT_GT (amber.getGreen(), amber.getBlue());
}

TEST_F (EditorTest, SwitchShowsItsHalfForTheState)
{
    const juce::Rectangle<int> raised { 0, 0, 58, 58 }, pressedIn { 0, 58, 58, 58 };

    EXPECT_TRUE (shows (snapshot(), panelOn(), 26, 18, switchStates(), pressedIn));

    setEnabled (false);
    tick();
    EXPECT_TRUE (shows (snapshot(), panelOff(), 26, 18, switchStates(), raised));
}

TEST_F (EditorTest, PlusShowsItsPressedPictureWhileHeld)
{
    const auto released = picture (BinaryData::temp9, BinaryData::temp9Size);
    const auto pressed = picture (BinaryData::temp10, BinaryData::temp10Size);

    for (const bool limiterOn : { true, false })
    {
        SCOPED_TRACE (limiterOn ? "on" : "off");
        setEnabled (limiterOn);
        const auto panel = limiterOn ? panelOn() : panelOff();

        plus().setState (juce::Button::buttonDown);
        tick();
        EXPECT_TRUE (shows (snapshot(), panel, 245, 240, pressed, pressed.getBounds()));

        plus().setState (juce::Button::buttonNormal);
        tick();
        EXPECT_TRUE (shows (snapshot(), panel, 245, 240, released, released.getBounds()));
    }
}

TEST_F (EditorTest, SwitchClickSendsGestureValueGestureEnd)
{
    HostLog host;
    processor.enableParameter->addListener (&host);

    click (enable());
    EXPECT_FALSE (processor.enableParameter->get());
    EXPECT_EQ (host.events, (std::vector<juce::String> { "begin", "value 0.0000", "end" }));

    host.events.clear();
    click (enable());
    EXPECT_TRUE (processor.enableParameter->get());
    EXPECT_EQ (host.events, (std::vector<juce::String> { "begin", "value 1.0000", "end" }));

    processor.enableParameter->removeListener (&host);
}

TEST_F (EditorTest, LevelStepsLandOnTheGridAndStopAtTheEnds)
{
    HostLog host;
    processor.levelParameter->addListener (&host);

    // At the ends the step is clamped, and the host still hears the bound.
    setLevel (0.0f);
    host.events.clear();
    click (plus());
    EXPECT_EQ (processor.levelParameter->get(), 0.0f);
    EXPECT_EQ (host.events, (std::vector<juce::String> { "value 1.0000" }));

    setLevel (-6.0f);
    host.events.clear();
    click (minus());
    EXPECT_EQ (processor.levelParameter->get(), -6.0f);
    EXPECT_EQ (host.events, (std::vector<juce::String> { "value 0.0000" }));

    // Ten tenths up from -1.0 reach 0.0 exactly: every step lands on the 0.01 grid.
    setLevel (-1.0f);
    for (int i = 1; i <= 10; ++i)
    {
        click (plus());
        const float level = processor.levelParameter->get();
        EXPECT_EQ (level, processor.levelParameter->convertFrom0to1 (processor.levelParameter->convertTo0to1 (level)));
        EXPECT_NEAR (level, -1.0f + 0.1f * (float) i, 1.0e-5f) << "after click " << i;
    }
    EXPECT_EQ (processor.levelParameter->get(), 0.0f);

    click (minus());
    EXPECT_NEAR (processor.levelParameter->get(), -0.1f, 1.0e-6f);

    processor.levelParameter->removeListener (&host);
}

TEST_F (EditorTest, PlusAndMinusDoNothingWhileOff)
{
    setEnabled (false);
    setLevel (-3.0f);
    HostLog host;
    processor.levelParameter->addListener (&host);
    processor.enableParameter->addListener (&host);

    click (plus());
    click (minus());
    EXPECT_EQ (processor.levelParameter->get(), -3.0f);
    EXPECT_FALSE (processor.enableParameter->get());
    EXPECT_TRUE (host.events.empty());

    processor.levelParameter->removeListener (&host);
    processor.enableParameter->removeListener (&host);
}

TEST_F (EditorTest, AutomationReachesTheControlsWithinATickWithoutEchoes)
{
    HostLog host;
    processor.levelParameter->addListener (&host);
    processor.enableParameter->addListener (&host);

    setEnabled (false);
    setLevel (-3.3f);
    ASSERT_EQ (host.events.size(), 2u);
    tick();
    EXPECT_FALSE (enable().getToggleState());
    EXPECT_TRUE (shows (snapshot(), panelOff(), 26, 18, switchStates(), { 0, 0, 58, 58 }));

    setEnabled (true);
    tick();
    EXPECT_TRUE (enable().getToggleState());
    EXPECT_TRUE (shows (snapshot(), panelOn(), 268, 112, glyphStrip(), glyph (3)));
    EXPECT_TRUE (shows (snapshot(), panelOn(), 339, 112, glyphStrip(), glyph (3)));

    // Only the host's own three changes: the editor wrote nothing back.
    EXPECT_EQ (host.events.size(), 3u);

    processor.levelParameter->removeListener (&host);
    processor.enableParameter->removeListener (&host);
}

TEST_F (EditorTest, HiddenWindowFollowsParametersButRendersNothing)
{
    auto* peer = window->getHeadlessPeer();
    ASSERT_NE (peer, nullptr);

    peer->setMinimised (true);
    ASSERT_FALSE (editor->isShowing());
    editor->updateAvailable = true;
    setEnabled (false);
    orvan::headless::pump (150); // three ticks' time
    EXPECT_FALSE (enable().getToggleState()); // the switch follows
    EXPECT_FALSE (badge().isVisible());
    EXPECT_TRUE (shows (snapshot(), panelOn(), 268, 112, glyphStrip(), glyph (0))); // the old picture stays

    peer->setMinimised (false);
    tick();
    EXPECT_TRUE (badge().isVisible());
    EXPECT_TRUE (showsPanel (snapshot(), panelOff(), { 186, 100, 270, 114 }));
}

TEST_F (EditorTest, BadgeIsTheSameRedDiscInEveryState)
{
    editor->updateAvailable = true;
    tick();
    ASSERT_TRUE (badge().isVisible());

    std::vector<juce::Image> looks;
    for (const auto state : { juce::Button::buttonNormal, juce::Button::buttonOver, juce::Button::buttonDown })
    {
        badge().setState (state);
        looks.push_back (badge().createComponentSnapshot (badge().getLocalBounds()));
    }

    const auto& normal = looks.front();
    EXPECT_EQ (normal.getPixelAt (4, 12), juce::Colour (0xFFFF0000));
    EXPECT_EQ (normal.getPixelAt (20, 12), juce::Colour (0xFFFF0000));
    EXPECT_EQ (normal.getPixelAt (12, 8), juce::Colour (0xFFFFFFFF));  // the bar
    EXPECT_EQ (normal.getPixelAt (12, 19), juce::Colour (0xFFFFFFFF)); // the dot
    EXPECT_EQ (normal.getPixelAt (12, 15).getRed(), 255);              // red between them
    EXPECT_EQ (normal.getPixelAt (12, 15).getGreen(), 0);
    EXPECT_EQ (normal.getPixelAt (0, 0).getAlpha(), 0);                // round, not square

    for (const auto& other : looks)
        for (int y = 0; y < 24; ++y)
            for (int x = 0; x < 24; ++x)
                ASSERT_EQ (other.getPixelAt (x, y), normal.getPixelAt (x, y));
}

TEST (LookAndFeel, SquareColoursSwapOnButtons)
{
    CustomLookAndFeel laf;
    laf.setColour (juce::TextButton::buttonOnColourId, juce::Colours::green);
    laf.setColour (juce::TextButton::textColourOnId, juce::Colours::blue);

    setupSquareLookAndFeelColours (laf);

    EXPECT_EQ (laf.findColour (juce::TextButton::buttonColourId), juce::Colour (0xFFFFFFFF));
    EXPECT_EQ (laf.findColour (juce::TextButton::textColourOffId), juce::Colour (0xFFFF0000));
    EXPECT_EQ (laf.findColour (juce::TextButton::buttonOnColourId), juce::Colour (0xFFFF0000));
    EXPECT_EQ (laf.findColour (juce::TextButton::textColourOnId), juce::Colour (0xFFFFFFFF));
    EXPECT_EQ (laf.findColour (juce::Slider::rotarySliderFillColourId), juce::Colour (0xFFFF0000));
    EXPECT_EQ (laf.findColour (juce::Slider::thumbColourId), juce::Colour (0xFFF2F2F2));
    EXPECT_EQ (laf.findColour (juce::Slider::textBoxOutlineColourId), juce::Colour (0x00FFFFFF));
    EXPECT_EQ (laf.findColour (juce::Slider::trackColourId), juce::Colour (0xFF000000));
}

TEST_F (EditorTest, OpeningAndClosingLeavesNothingBehind)
{
    for (int i = 0; i < 40; ++i)
    {
        std::vector<juce::Component::SafePointer<juce::Component>> parts { editor };
        for (auto* c : editor->getChildren())
            parts.emplace_back (c);

        // Close with a timer running and a rendering queued; nothing may reach the dead editor.
        editor->updateAvailable = true;
        editor->triggerAsyncUpdate();
        close();
        for (const auto& part : parts)
            ASSERT_EQ (part.getComponent(), nullptr) << "cycle " << i;
        EXPECT_EQ (processor.getActiveEditor(), nullptr);
        orvan::headless::pump (i % 8 == 0 ? 70 : 5);

        open();
        EXPECT_FALSE (editor->updateAvailable.load()); // each window starts afresh
        EXPECT_FALSE (badge().isVisible());
        orvan::headless::pump (i % 8 == 0 ? 70 : 5);
    }
    EXPECT_EQ (juce::Desktop::getInstance().getNumComponents(), 1);
}
