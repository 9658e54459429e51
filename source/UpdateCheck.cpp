#include "UpdateCheck.h"

#include <condition_variable>
#include <mutex>
#include <system_error>
#include <thread>

#ifndef ORVAN_UPDATE_ENDPOINT
 #define ORVAN_UPDATE_ENDPOINT ""
#endif

namespace
{
    constexpr int connectionTimeoutMs = 3000;
    constexpr int maxRedirects = 5;

    // Counts the check threads still running. Never destroyed: a thread that outlives the
    // waiting below may still touch it on its way out.
    struct RunningChecks
    {
        std::mutex mutex;
        std::condition_variable ended;
        int count = 0;

        static RunningChecks& get()
        {
            static auto* checks = new RunningChecks();
            return *checks;
        }

        void started()
        {
            const std::lock_guard<std::mutex> lock (mutex);
            ++count;
        }

        void finished()
        {
            const std::lock_guard<std::mutex> lock (mutex);
            --count;
            ended.notify_all();
        }

        bool waitForNone (int timeoutMs)
        {
            std::unique_lock<std::mutex> lock (mutex);
            return ended.wait_for (lock, std::chrono::milliseconds (timeoutMs), [this] { return count == 0; });
        }
    };

    // When the process exits or a host unloads the plug-in while a request still waits, its
    // thread would run on in code and framework state that are being torn down. Unloading
    // waits for it instead, at most as long as a request through all its redirects can take.
    struct WaitForChecksAtUnload
    {
        ~WaitForChecksAtUnload() { waitForUpdateChecks (20000); }
    };

    juce::String& endpointInUse()
    {
        static juce::String endpoint = configuredUpdateEndpoint();
        return endpoint;
    }
}

juce::URL updateCheckUrl (const juce::String& endpointBase)
{
    return juce::URL (endpointBase + "orvan_update.php?v=" + JucePlugin_VersionString);
}

bool statusMeansNewerVersion (int statusCode) noexcept
{
    return statusCode == 202;
}

void checkForUpdate (UpdateFlag& flag, const juce::URL& url)
{
    int statusCode = 0;

    const auto options = juce::URL::InputStreamOptions (juce::URL::ParameterHandling::inAddress)
                             .withExtraHeaders ({})
                             .withConnectionTimeoutMs (connectionTimeoutMs)
                             .withStatusCode (&statusCode)
                             .withNumRedirectsToFollow (maxRedirects);

    // The stream is closed unread: the status is the whole answer.
    if (const auto stream = url.createInputStream (options))
        if (statusMeansNewerVersion (statusCode))
            flag.available = true;
}

bool startUpdateCheck (std::shared_ptr<UpdateFlag> flag)
{
    const auto endpoint = currentUpdateEndpoint();

    if (endpoint.isEmpty() || flag == nullptr)
        return false;

    // Statics are destroyed in the reverse order of their making. The waiter must be made
    // after everything a running check still uses (our count of checks and the network
    // library's own lazily made statics), so that at unload or exit it is destroyed first and
    // waits for the checks while all of that still exists. A stream that never connects
    // makes the network library's statics without sending anything.
    auto& running = RunningChecks::get();
    static const bool networkReady = [] { juce::WebInputStream unconnected (juce::URL ("http://127.0.0.1/"), false); return true; }();
    juce::ignoreUnused (networkReady);
    static WaitForChecksAtUnload waitAtUnload;
    running.started();

    try
    {
        std::thread ([flag = std::move (flag), url = updateCheckUrl (endpoint), &running]() mutable
        {
            try
            {
                checkForUpdate (*flag, url);
            }
            catch (...)
            {
                // A failed check is no update; nothing may escape a thread of the plug-in's.
            }

            // Let go of everything before reporting the end, so that nothing of this check
            // is left once a waiter has been told it is over.
            flag.reset();
            url = {};
            running.finished();
        }).detach();
    }
    catch (const std::system_error&)
    {
        running.finished();
        return false;
    }

    return true;
}

juce::String configuredUpdateEndpoint()
{
   #if ORVAN_UPDATE_CHECK
    return ORVAN_UPDATE_ENDPOINT;
   #else
    return {};
   #endif
}

juce::String currentUpdateEndpoint()
{
    return endpointInUse();
}

void setUpdateEndpoint (const juce::String& endpointBase)
{
    endpointInUse() = endpointBase;
}

bool waitForUpdateChecks (int timeoutMs)
{
    return RunningChecks::get().waitForNone (timeoutMs);
}
