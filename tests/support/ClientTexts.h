#pragma once
// What the client says and where it sends its requests, as the tests that drive it (and the
// benchmark) expect them.

#include <cstddef>
#include <string>

namespace vandreth::test {

// The URL box's text when nothing else is stored.
inline constexpr const char* kDefaultOrigin = "https://vandreth.example";

// The status line while the window is being made, before the first real status.
inline constexpr const char* kStarting = "Starting...";
inline constexpr const char* kReadyToLink = "Ready to link your Vandreth account.";
inline constexpr const char* kRequestingCode = "Requesting a new Vandreth PC link code...";
inline constexpr const char* kCodeReady = "Code ready. Approve it at vandreth.example/link/pc.";
inline constexpr const char* kWaitingForApproval = "Waiting for approval at vandreth.example/link/pc.";
inline constexpr const char* kSessionReady = "Vandreth desktop session ready.";
inline constexpr const char* kNoCores = "No cores available";
inline constexpr const char* kCheckingSession = "Checking linked Vandreth session...";
inline constexpr const char* kRefreshing = "Refreshing your Vandreth projects...";
inline constexpr const char* kCreating = "Creating your RERI from the Vandreth desktop client...";
inline constexpr const char* kUnlinked = "Vandreth desktop client unlinked.";
// Unlink whose state file could not be rewritten: the token may still be in it.
inline constexpr const char* kUnlinkedButNotSaved =
    "Unlinked for this session, but Vandreth could not update its state file, so this PC may be linked again at the "
    "next start.";
// A poll answer that approves the code but holds no access token.
inline constexpr const char* kApprovedWithoutToken =
    "Vandreth approved the code but sent no access token. Generate a new link code to try again.";

// An approving poll answer whose access token holds a byte that no header line may carry.
inline constexpr const char* kApprovedWithUnusableToken =
    "Vandreth approved the code but sent an access token that this PC cannot use. Generate a new link code to try "
    "again.";
// Refresh or Create RERI while the URL box names another service than the one the PC is linked to.
inline std::string linkedElsewhere(const std::string& tokenOrigin)
{
    return "This PC is linked to " + tokenOrigin + ". Unlink it first to use another Vandreth address.";
}

// The status line once a project list of `count` projects is shown.
inline std::string loadedStatus(std::size_t count)
{
    return "Loaded " + std::to_string(count) + " Vandreth project(s).";
}

// The account lines of a client that knows no account.
inline constexpr const char* kNotLinkedYet = "Not linked yet";
inline constexpr const char* kNoPlan = "Plan: -";
inline constexpr const char* kNoLimit = "Limit: -";
// The account line of a client that holds a token the service could not be asked about.
inline constexpr const char* kAccountUnchecked = "Linked, but the account could not be checked";

// What the transport reports when no answer arrives: the connection is refused, or closed
// before the server answers.
inline constexpr const char* kNoAnswer = "Vandreth request failed before the server responded.";
// What it reports when an answer does not come within the time limit.
inline constexpr const char* kTooSlow = "Vandreth stopped waiting: the server took too long to answer.";
// What it reports for a redirect that leaves the origin.
inline constexpr const char* kRedirectRefused = "Vandreth did not follow the service's redirect to another address.";
// What it reports for a redirect whose Location names no address that could be asked.
inline constexpr const char* kRedirectUnreadable = "Vandreth could not read the address that the service redirected to.";
// What it reports when it runs out of memory while it reads or parses an answer.
inline constexpr const char* kOutOfMemory = "Vandreth ran out of memory while reading the server's answer.";

inline constexpr const char* kLinkStartPath = "/api/pc/link/start";
inline constexpr const char* kLinkPollPath = "/api/pc/link/poll";
inline constexpr const char* kMePath = "/api/pc/me";
inline constexpr const char* kInstancesPath = "/api/pc/instances";
inline constexpr const char* kCreatePath = "/api/pc/instances/create";

}  // namespace vandreth::test
