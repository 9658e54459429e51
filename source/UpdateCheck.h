#pragma once

#include <juce_core/juce_core.h>

#include <atomic>
#include <memory>

// The answer of one window's update check. The window and its check thread share it, so a
// check that ends after the window was closed writes here and reaches nothing else. Written
// at most once, by the check; read by the message thread on every timer tick.
struct UpdateFlag
{
    std::atomic<bool> available { false };
};

// The request for a given endpoint base (scheme, host and a path ending in "/"): the base,
// then "orvan_update.php?v=" and the plug-in's version. It carries nothing else.
juce::URL updateCheckUrl (const juce::String& endpointBase);

// Whether an HTTP status says that a newer version exists: 202 and nothing else.
bool statusMeansNewerVersion (int statusCode) noexcept;

// Asks the endpoint once and blocks until it answers or the request fails. Sets `flag` when
// the final status (after at most 5 redirects) is 202; every other outcome, a failure
// included, leaves it untouched. Nothing is reported, nothing of the answer but its status
// is read.
void checkForUpdate (UpdateFlag& flag, const juce::URL& url);

// Starts checkForUpdate against the current endpoint on a detached thread of its own and
// returns at once. Returns false, having started nothing, when the build has the check turned
// off, when the endpoint is empty, or when the system refuses a thread; the window then
// simply never shows the badge. Message thread.
bool startUpdateCheck (std::shared_ptr<UpdateFlag> flag);

// The endpoint the build was configured with (empty when the check is turned off), and the
// one that startUpdateCheck uses now. Tests and tools point it at a server of their own, or
// set it empty so that nothing contacts the network. Message thread.
juce::String configuredUpdateEndpoint();
juce::String currentUpdateEndpoint();
void setUpdateEndpoint (const juce::String& endpointBase);

// Waits until every check started by startUpdateCheck has ended, or the time has passed.
// Returns true when none is left running. Also done, with a bound, when the plug-in's code
// is unloaded, so that no check thread runs on in code that is gone.
bool waitForUpdateChecks (int timeoutMs);
