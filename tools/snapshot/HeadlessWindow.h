#pragma once

// A top-level window for plug-in editors that needs no display server: it stands on the
// desktop through a peer that draws nowhere, so the editor inside it counts as showing (its
// timer renders, its badge may appear) exactly as in a host's window, and can be minimised to
// check what a hidden window does. Pictures are taken with createComponentSnapshot.

#include <juce_gui_basics/juce_gui_basics.h>

namespace orvan::headless
{
class Peer final : public juce::ComponentPeer
{
public:
    Peer (juce::Component& c, int flags) : juce::ComponentPeer (c, flags), bounds (c.getBounds()) {}

    using juce::ComponentPeer::globalToLocal;
    using juce::ComponentPeer::localToGlobal;

    void* getNativeHandle() const override { return nullptr; }
    void setVisible (bool) override {}
    void setTitle (const juce::String&) override {}
    void setBounds (const juce::Rectangle<int>& newBounds, bool) override { bounds = newBounds; }
    juce::Rectangle<int> getBounds() const override { return bounds; }
    juce::Point<float> localToGlobal (juce::Point<float> p) override { return p + bounds.getPosition().toFloat(); }
    juce::Point<float> globalToLocal (juce::Point<float> p) override { return p - bounds.getPosition().toFloat(); }
    void setMinimised (bool shouldBeMinimised) override { minimised = shouldBeMinimised; }
    bool isMinimised() const override { return minimised; }
    void setFullScreen (bool) override {}
    bool isFullScreen() const override { return false; }
    void setIcon (const juce::Image&) override {}
    bool contains (juce::Point<int> p, bool) const override { return bounds.withZeroOrigin().contains (p); }
    OptionalBorderSize getFrameSizeIfPresent() const override { return OptionalBorderSize { juce::BorderSize<int>() }; }
    juce::BorderSize<int> getFrameSize() const override { return {}; }
    bool setAlwaysOnTop (bool) override { return false; }
    void toFront (bool) override {}
    void toBehind (juce::ComponentPeer*) override {}
    bool isFocused() const override { return false; }
    void grabFocus() override {}
    void repaint (const juce::Rectangle<int>&) override { ++repaintRequests; }
    void performAnyPendingRepaintsNow() override {}
    void setAlpha (float) override {}
    juce::StringArray getAvailableRenderingEngines() override { return { "Software Renderer" }; }
    void textInputRequired (juce::Point<int>, juce::TextInputTarget&) override {}

    int repaintRequests = 0; // how often the window asked to be redrawn

private:
    juce::Rectangle<int> bounds;
    bool minimised = false;
};

class Window final : public juce::Component
{
public:
    // Takes ownership of the content (an editor, typically) and puts itself on the desktop.
    explicit Window (std::unique_ptr<juce::Component> c) : content (std::move (c))
    {
        setOpaque (false);
        addAndMakeVisible (*content);
        setSize (content->getWidth(), content->getHeight());
        setVisible (true);
        addToDesktop (0);
    }

    ~Window() override
    {
        removeFromDesktop();
        content.reset();
    }

    juce::Component& getContent() { return *content; }
    Peer* getHeadlessPeer() { return dynamic_cast<Peer*> (getPeer()); }

    // Destroys the content while the window stays, as a host closes an editor.
    void closeContent() { content.reset(); }

protected:
    juce::ComponentPeer* createNewPeer (int styleWanted, void*) override { return new Peer (*this, styleWanted); }

private:
    std::unique_ptr<juce::Component> content;
};

// Runs the message loop for the given time, so that timers and asynchronous updates fire.
inline void pump (int milliseconds)
{
    juce::MessageManager::getInstance()->runDispatchLoopUntil (milliseconds);
}
} // namespace orvan::headless
