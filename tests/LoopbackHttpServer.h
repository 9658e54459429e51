#pragma once

// A tiny HTTP/1.1 server on 127.0.0.1 for the update-check tests: it answers every request
// with a status (and a Location for redirects) chosen by the test, records what it was asked,
// and can also accept connections and never answer them. Nothing here listens beyond loopback.

#include <juce_core/juce_core.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <thread>
#include <vector>

// No proxy may stand between an update check and a server on loopback.
inline void bypassProxiesForLoopback()
{
    for (const auto* name : { "http_proxy", "https_proxy", "HTTP_PROXY", "HTTPS_PROXY", "ALL_PROXY", "all_proxy" })
        unsetenv (name);
    setenv ("no_proxy", "*", 1);
    setenv ("NO_PROXY", "*", 1);
}

// A socket listening on 127.0.0.1 at a port the system picks, which is stored in `port`.
inline int listenOnLoopback (int backlog, int& port)
{
    const int listener = socket (AF_INET, SOCK_STREAM, 0);
    const int yes = 1;
    setsockopt (listener, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof (yes));

    sockaddr_in address {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl (INADDR_LOOPBACK);
    address.sin_port = 0;

    socklen_t length = sizeof (address);
    if (listener < 0
        || bind (listener, reinterpret_cast<sockaddr*> (&address), sizeof (address)) != 0
        || listen (listener, backlog) != 0
        || getsockname (listener, reinterpret_cast<sockaddr*> (&address), &length) != 0)
        throw std::runtime_error ("cannot listen on 127.0.0.1");

    port = ntohs (address.sin_port);
    return listener;
}

class LoopbackHttpServer
{
public:
    struct Reply
    {
        int status = 200;
        juce::String location;     // sent as a Location header when not empty
    };

    // Given the request target ("/orvan_update.php?v=1.0.2"), the reply; none to stay silent.
    using Handler = std::function<std::optional<Reply> (const juce::String& target)>;

    explicit LoopbackHttpServer (Handler handlerToUse)
        : handler (std::move (handlerToUse))
    {
        listener = listenOnLoopback (16, boundPort);
        thread = std::thread ([this] { serve(); });
    }

    ~LoopbackHttpServer()
    {
        stopping = true;
        thread.join();
        close (listener);
    }

    int port() const noexcept { return boundPort; }
    juce::String base() const { return "http://127.0.0.1:" + juce::String (boundPort) + "/"; }

    // The heads of the requests received so far (request line and headers), in order.
    juce::StringArray requests() const
    {
        const std::lock_guard<std::mutex> lock (mutex);
        return received;
    }

    // Connections accepted so far, answered or not.
    int connections() const noexcept { return accepted; }

    // A port on 127.0.0.1 with nothing listening: bound (so nobody else takes it while the
    // holder lives) but never listening, so connections are refused.
    struct ClosedPort
    {
        ClosedPort()
        {
            fd = socket (AF_INET, SOCK_STREAM, 0);
            sockaddr_in address {};
            address.sin_family = AF_INET;
            address.sin_addr.s_addr = htonl (INADDR_LOOPBACK);
            socklen_t length = sizeof (address);
            if (fd < 0
                || bind (fd, reinterpret_cast<sockaddr*> (&address), sizeof (address)) != 0
                || getsockname (fd, reinterpret_cast<sockaddr*> (&address), &length) != 0)
                throw std::runtime_error ("cannot bind on 127.0.0.1");
            port = ntohs (address.sin_port);
        }

        ~ClosedPort() { close (fd); }

        juce::String base() const { return "http://127.0.0.1:" + juce::String (port) + "/"; }

        int fd = -1;
        int port = 0;
    };

private:
    void serve()
    {
        std::vector<int> silent;

        while (! stopping)
        {
            pollfd waiting { listener, POLLIN, 0 };

            if (poll (&waiting, 1, 20) <= 0)
                continue;

            const int client = accept (listener, nullptr, nullptr);

            if (client < 0)
                continue;

            ++accepted;
            const auto head = readHead (client);

            {
                const std::lock_guard<std::mutex> lock (mutex);
                received.add (head);
            }

            const auto target = head.upToFirstOccurrenceOf ("\r\n", false, false)
                                    .fromFirstOccurrenceOf (" ", false, false)
                                    .upToFirstOccurrenceOf (" ", false, false);

            if (const auto reply = handler (target))
            {
                juce::String response;
                response << "HTTP/1.1 " << reply->status << " Test\r\n"
                         << "Content-Length: 0\r\n"
                         << "Connection: close\r\n";

                if (reply->location.isNotEmpty())
                    response << "Location: " << reply->location << "\r\n";

                response << "\r\n";
                const auto* bytes = response.toRawUTF8();
                [[maybe_unused]] const auto sent = send (client, bytes, std::strlen (bytes), MSG_NOSIGNAL);
                close (client);
            }
            else
            {
                silent.push_back (client);     // held open, unanswered, until the server stops
            }
        }

        for (const int client : silent)
            close (client);
    }

    juce::String readHead (int client)
    {
        std::string head;
        char buffer[1024];

        while (! stopping && head.find ("\r\n\r\n") == std::string::npos)
        {
            pollfd readable { client, POLLIN, 0 };

            if (poll (&readable, 1, 20) <= 0)
                continue;

            const auto got = recv (client, buffer, sizeof (buffer), 0);

            if (got <= 0)
                break;

            head.append (buffer, static_cast<size_t> (got));
        }

        return juce::String (head.substr (0, head.find ("\r\n\r\n")));
    }

    Handler handler;
    int listener = -1;
    int boundPort = 0;
    std::atomic<bool> stopping { false };
    std::atomic<int> accepted { 0 };
    mutable std::mutex mutex;
    juce::StringArray received;
    std::thread thread;
};
