#pragma once
// What the client says and where it sends its requests, as the tests that drive its window
// expect them.

namespace vandreth::test {

inline constexpr const char* kCodeReady = "Code ready. Approve it at vandreth.example/link/pc.";
inline constexpr const char* kWaitingForApproval = "Waiting for approval at vandreth.example/link/pc.";
inline constexpr const char* kSessionReady = "Vandreth desktop session ready.";
inline constexpr const char* kNoCores = "No cores available";
inline constexpr const char* kCheckingSession = "Checking linked Vandreth session...";
inline constexpr const char* kRefreshing = "Refreshing your Vandreth projects...";
inline constexpr const char* kUnlinked = "Vandreth desktop client unlinked.";
// Unlink whose state file could not be rewritten: the token may still be in it.
inline constexpr const char* kUnlinkedButNotSaved =
    "Unlinked for this session, but Vandreth could not update its state file, so this PC may be linked again at the "
    "next start.";
// A poll answer that approves the code but holds no access token.
inline constexpr const char* kApprovedWithoutToken =
    "Vandreth approved the code but sent no access token. Generate a new link code to try again.";
// The account line of a client that holds a token the service could not be asked about.
inline constexpr const char* kAccountUnchecked = "Linked, but the account could not be checked";
// What the transport reports when no answer arrives: the connection is refused, or closed
// before the server answers.
inline constexpr const char* kNoAnswer = "Vandreth request failed before the server responded.";

inline constexpr const char* kLinkStartPath = "/api/pc/link/start";
inline constexpr const char* kLinkPollPath = "/api/pc/link/poll";
inline constexpr const char* kMePath = "/api/pc/me";
inline constexpr const char* kInstancesPath = "/api/pc/instances";
inline constexpr const char* kCreatePath = "/api/pc/instances/create";

}  // namespace vandreth::test
