// The update check against a hostile or broken server on loopback: garbage instead of HTTP,
// a connection reset in the middle, a body that never ends, redirects that go round in a
// circle. Each must end the check promptly with no crash, and only a real 202 counts.
#include "LoopbackHttpServer.h"
#include "UpdateCheck.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <functional>
#include <string>
#include <thread>

namespace
{
// Serves every connection with `serve`, which gets the socket after the request has been read.
class RawServer
{
public:
    explicit RawServer (std::function<void (int)> serveToUse) : serve (std::move (serveToUse))
    {
        listener = listenOnLoopback (8, port);
        thread = std::thread ([this] { run(); });
    }

    ~RawServer()
    {
        stopping = true;
        shutdown (listener, SHUT_RDWR);
        close (listener);
        thread.join();
    }

    juce::String base() const { return "http://127.0.0.1:" + juce::String (port) + "/"; }

private:
    void run()
    {
        while (! stopping)
        {
            const int connection = accept (listener, nullptr, nullptr);
            if (connection < 0)
                return;
            // The request ends with an empty line.
            std::string request;
            char c;
            while (request.find ("\r\n\r\n") == std::string::npos && recv (connection, &c, 1, 0) == 1)
                request += c;
            serve (connection);
            close (connection);
        }
    }

    std::function<void (int)> serve;
    int listener = -1;
    int port = 0;
    std::atomic<bool> stopping { false };
    std::thread thread;
};

void sendText (int connection, const std::string& text)
{
    send (connection, text.data(), text.size(), MSG_NOSIGNAL);
}

struct UpdateCheckHostileServer : ::testing::Test
{
    static void SetUpTestSuite() { bypassProxiesForLoopback(); }
};

bool checkAgainst (const RawServer& server)
{
    UpdateFlag flag;
    checkForUpdate (flag, updateCheckUrl (server.base()));
    return flag.available.load();
}
} // namespace

TEST_F (UpdateCheckHostileServer, BrokenAnswersMeanNoUpdate)
{
    const struct { const char* name; std::function<void (int)> serve; } cases[] = {
        { "garbage instead of HTTP", [] (int c) { sendText (c, std::string ("\x00\x01\xff garbage\r\n\r\n", 16)); } },
        { "status line without a status", [] (int c) { sendText (c, "HTTP/1.1 \r\n\r\n"); } },
        { "status 2020", [] (int c) { sendText (c, "HTTP/1.1 2020 Accepted\r\nContent-Length: 0\r\n\r\n"); } },
        { "closed without a word", [] (int) {} },
        { "reset", [] (int c)
          {
              const linger reset { 1, 0 };
              setsockopt (c, SOL_SOCKET, SO_LINGER, &reset, sizeof (reset));
          } },
        { "headers cut off", [] (int c) { sendText (c, "HTTP/1.1 202 Accep"); } },
        { "redirect to itself", [] (int c) { sendText (c, "HTTP/1.1 302 Found\r\nLocation: /orvan_update.php?v=1\r\nContent-Length: 0\r\n\r\n"); } },
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.name);
        RawServer server (c.serve);
        EXPECT_FALSE (checkAgainst (server));
    }
}

TEST_F (UpdateCheckHostileServer, AnEndlessBodyIsNotRead)
{
    // Only the status counts, so the check ends after the headers however much follows.
    std::atomic<long> sent { 0 };
    RawServer server ([&sent] (int c)
    {
        sendText (c, "HTTP/1.1 202 Accepted\r\nContent-Length: 100000000000\r\n\r\n");
        const std::string chunk (65536, 'x');
        while (sent < (1L << 30) && send (c, chunk.data(), chunk.size(), MSG_NOSIGNAL) > 0)
            sent += (long) chunk.size();
    });
    EXPECT_TRUE (checkAgainst (server));
    EXPECT_LT (sent.load(), 1L << 30);
}
