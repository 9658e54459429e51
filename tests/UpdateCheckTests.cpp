#include "LoopbackHttpServer.h"
#include "UpdateCheck.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>

namespace
{
    const juce::String requestTarget = "/orvan_update.php?v=" JucePlugin_VersionString;

    struct UpdateCheckTest : ::testing::Test
    {
        static void SetUpTestSuite() { bypassProxiesForLoopback(); }
    };

    // Answers the check's request with `status`, after sending it through `redirects` hops.
    LoopbackHttpServer::Handler redirectingTo (int status, int redirects)
    {
        return [status, redirects] (const juce::String& target) -> std::optional<LoopbackHttpServer::Reply>
        {
            const auto hop = target.startsWith ("/hop/")
                                 ? target.fromFirstOccurrenceOf ("/hop/", false, false).getIntValue()
                                 : 0;

            if (hop < redirects)
                return LoopbackHttpServer::Reply { 302, "/hop/" + juce::String (hop + 1) };

            return LoopbackHttpServer::Reply { status, {} };
        };
    }

    bool checkAgainst (const juce::String& endpointBase)
    {
        UpdateFlag flag;
        checkForUpdate (flag, updateCheckUrl (endpointBase));
        return flag.available;
    }
}

TEST_F (UpdateCheckTest, OnlyAFinalStatusOf202MeansANewerVersion)
{
    struct Case { int status; int redirects; bool newer; };
    const Case cases[] = {
        { 202, 0, true },
        { 200, 0, false },
        { 204, 0, false },
        { 201, 0, false },
        { 404, 0, false },
        { 500, 0, false },
        { 202, 1, true },
        { 202, 5, true },      // the most redirects followed
        { 200, 3, false },
        { 202, 6, false },     // one redirect too many: a 302 is what is left
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE ("status " + std::to_string (c.status) + " after " + std::to_string (c.redirects) + " redirects");
        LoopbackHttpServer server (redirectingTo (c.status, c.redirects));

        EXPECT_EQ (checkAgainst (server.base()), c.newer);

        const auto requests = server.requests();
        ASSERT_GE (requests.size(), 1);
        EXPECT_EQ (requests.size(), juce::jmin (c.redirects, 5) + 1);
        EXPECT_TRUE (requests[0].startsWith ("GET " + requestTarget + " HTTP/1.1\r\n")) << requests[0];
    }
}

TEST_F (UpdateCheckTest, TheRequestCarriesTheVersionAndNothingElse)
{
    LoopbackHttpServer server (redirectingTo (204, 0));
    checkAgainst (server.base());

    ASSERT_EQ (server.requests().size(), 1);
    const auto lines = juce::StringArray::fromLines (server.requests()[0]);

    EXPECT_EQ (lines[0], "GET " + requestTarget + " HTTP/1.1");

    // Only the transport's own headers: no cookies, no identifiers, no body.
    for (int i = 1; i < lines.size(); ++i)
    {
        const auto name = lines[i].upToFirstOccurrenceOf (":", false, false).toLowerCase();
        EXPECT_TRUE (name == "host" || name == "user-agent" || name == "accept") << lines[i];
    }

    EXPECT_EQ (updateCheckUrl ("https://example.invalid/").toString (true),
               "https://example.invalid/orvan_update.php?v=" JucePlugin_VersionString);
}

TEST_F (UpdateCheckTest, AnEndpointThatCannotBeReachedMeansNoUpdate)
{
    {
        LoopbackHttpServer::ClosedPort nobody;
        EXPECT_FALSE (checkAgainst (nobody.base()));
    }

    // Accepts the connection and never answers: the check gives up by itself.
    LoopbackHttpServer silent ([] (const juce::String&) { return std::nullopt; });
    const auto started = std::chrono::steady_clock::now();
    EXPECT_FALSE (checkAgainst (silent.base()));
    const auto seconds = std::chrono::duration<double> (std::chrono::steady_clock::now() - started).count();

    EXPECT_EQ (silent.connections(), 1);
    EXPECT_LT (seconds, 30.0) << "the check must end on its own time-out";
    std::cout << "[          ] silent endpoint given up after " << seconds << " s" << std::endl;
}

TEST_F (UpdateCheckTest, TheBackgroundCheckNeitherBlocksNorOutlivesItsFlag)
{
    const auto previousEndpoint = currentUpdateEndpoint();

    // The server answers 202 only once the test opens the gate, so the requests are
    // certainly still waiting while the test looks.
    std::atomic<bool> gateOpen { false };
    LoopbackHttpServer gated ([&gateOpen] (const juce::String&) -> std::optional<LoopbackHttpServer::Reply>
    {
        for (int i = 0; i < 1000 && ! gateOpen; ++i)
            juce::Thread::sleep (10);

        return LoopbackHttpServer::Reply { 202, {} };
    });
    setUpdateEndpoint (gated.base());

    // A window that closes while its request waits drops its reference at once; the late
    // answer lands in the shared flag and nowhere else.
    auto closedWindow = std::make_shared<UpdateFlag>();
    std::weak_ptr<UpdateFlag> closedWindowsFlag = closedWindow;
    ASSERT_TRUE (startUpdateCheck (closedWindow));
    closedWindow.reset();

    auto openWindow = std::make_shared<UpdateFlag>();
    ASSERT_TRUE (startUpdateCheck (openWindow));

    EXPECT_FALSE (waitForUpdateChecks (0)) << "the check must run in the background";
    EXPECT_FALSE (closedWindowsFlag.expired()) << "the waiting check keeps its flag alive";
    EXPECT_FALSE (openWindow->available);

    gateOpen = true;
    ASSERT_TRUE (waitForUpdateChecks (20000));
    EXPECT_TRUE (openWindow->available);
    EXPECT_TRUE (closedWindowsFlag.expired());
    EXPECT_EQ (gated.requests().size(), 2);

    // No endpoint: nothing starts and nothing is asked.
    setUpdateEndpoint ({});
    auto offline = std::make_shared<UpdateFlag>();
    EXPECT_FALSE (startUpdateCheck (offline));
    EXPECT_FALSE (offline->available);
    EXPECT_EQ (gated.requests().size(), 2);

    setUpdateEndpoint (previousEndpoint);
}
