// The update check as a window meets it: one request per opened window against a server of
// the test's own on loopback, the badge within a tick of the answer, and windows that close
// while their request still waits.
#include "HeadlessWindow.h"
#include "LoopbackHttpServer.h"
#include "PluginEditor.h"
#include "PluginProcessor.h"
#include "UpdateCheck.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>

namespace
{
    // The children in the order the editor adds them: logo, badge, plus, minus, switch.
    juce::Button& badgeOf (juce::Component& editor)
    {
        return *dynamic_cast<juce::Button*> (editor.getChildComponent (1));
    }

    struct UpdateNoticeTest : ::testing::Test
    {
        static void SetUpTestSuite() { bypassProxiesForLoopback(); }

        ~UpdateNoticeTest() override
        {
            window.reset();
            EXPECT_TRUE (waitForUpdateChecks (20000));
            setUpdateEndpoint ({});
        }

        void open()
        {
            window = std::make_unique<orvan::headless::Window> (std::make_unique<OrvanAudioProcessorEditor> (processor));
        }

        void close() { window.reset(); }

        OrvanAudioProcessorEditor& editor() { return dynamic_cast<OrvanAudioProcessorEditor&> (window->getContent()); }

        // Runs the message loop until `done` holds or the time is up.
        template <typename Condition>
        bool pumpUntil (Condition done, int timeoutMs = 10000)
        {
            for (int waited = 0; waited < timeoutMs; waited += 10)
            {
                if (done())
                    return true;
                orvan::headless::pump (10);
            }
            return done();
        }

        OrvanAudioProcessor processor;
        std::unique_ptr<orvan::headless::Window> window;
    };
}

TEST_F (UpdateNoticeTest, TheBadgeShowsOnlyForANewerVersion)
{
    for (const int status : { 202, 200, 204, 404 })
    {
        SCOPED_TRACE (status);
        LoopbackHttpServer server ([status] (const juce::String&) { return LoopbackHttpServer::Reply { status, {} }; });
        setUpdateEndpoint (server.base());

        open();
        EXPECT_FALSE (badgeOf (editor()).isVisible());
        ASSERT_TRUE (waitForUpdateChecks (20000));

        // One timer period after the answer, the badge tells.
        orvan::headless::pump (120);
        EXPECT_EQ (badgeOf (editor()).isVisible(), status == 202);
        EXPECT_EQ (server.requests().size(), 1);
        EXPECT_TRUE (server.requests()[0].startsWith ("GET /orvan_update.php?v=" JucePlugin_VersionString " HTTP/1.1"));
        close();
    }
}

// The host closes the window while the request still waits, then opens it again: the new
// window starts without the badge and asks for itself; the old answer reaches no window.
TEST_F (UpdateNoticeTest, ClosingWhileTheRequestWaitsThenReopeningIsSafe)
{
    std::atomic<bool> gateOpen { false };
    std::atomic<int> answered { 0 };
    LoopbackHttpServer server ([&] (const juce::String&) -> std::optional<LoopbackHttpServer::Reply>
    {
        for (int i = 0; i < 1000 && ! gateOpen; ++i)
            juce::Thread::sleep (10);
        ++answered;
        return LoopbackHttpServer::Reply { 202, {} };
    });
    setUpdateEndpoint (server.base());

    open();
    ASSERT_TRUE (pumpUntil ([&] { return server.connections() >= 1; }));
    close();

    open();
    orvan::headless::pump (120);     // the window works while its request waits
    EXPECT_FALSE (badgeOf (editor()).isVisible());
    EXPECT_FALSE (editor().updateAvailable.load());

    gateOpen = true;
    ASSERT_TRUE (pumpUntil ([&] { return answered == 2 && badgeOf (editor()).isVisible(); }));
    EXPECT_EQ (server.requests().size(), 2);
}

// Many windows opened and closed quickly, each leaving its request behind.
TEST_F (UpdateNoticeTest, RequestsLeftBehindByClosedWindowsTouchNothing)
{
    LoopbackHttpServer server ([] (const juce::String&) -> std::optional<LoopbackHttpServer::Reply>
    {
        juce::Thread::sleep (20);
        return LoopbackHttpServer::Reply { 202, {} };
    });
    setUpdateEndpoint (server.base());

    for (int i = 0; i < 10; ++i)
    {
        open();
        orvan::headless::pump (i % 3 == 0 ? 60 : 1);
        close();
    }

    ASSERT_TRUE (waitForUpdateChecks (30000));
    EXPECT_EQ (server.requests().size(), 10);
}

// A host may build an editor only to look at it (the LV2 bundle's description step does) and
// never show it: no request until the window is on screen, then exactly one.
TEST_F (UpdateNoticeTest, AnEditorThatIsNeverShownAsksNothing)
{
    LoopbackHttpServer server ([] (const juce::String&) { return LoopbackHttpServer::Reply { 202, {} }; });
    setUpdateEndpoint (server.base());

    auto unshown = std::make_unique<OrvanAudioProcessorEditor> (processor);
    orvan::headless::pump (120);
    EXPECT_TRUE (waitForUpdateChecks (0)) << "no check may be running for a window never shown";
    EXPECT_EQ (server.connections(), 0);

    window = std::make_unique<orvan::headless::Window> (std::move (unshown));
    ASSERT_TRUE (pumpUntil ([&] { return badgeOf (editor()).isVisible(); }));
    ASSERT_TRUE (waitForUpdateChecks (20000));
    orvan::headless::pump (120);
    EXPECT_EQ (server.requests().size(), 1);
}
