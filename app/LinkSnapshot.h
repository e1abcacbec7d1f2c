#pragma once
// What an answer was asked for, so that one that arrives after the user has moved on (Unlink,
// another account's approval, a new link code) acts on nothing.

#include <cstdint>
#include <string>

namespace vandreth {

enum class TaskKind : std::int32_t;

// What the window holds of a link: copied into each request when it starts.
struct LinkSnapshot {
    std::string accessToken;
    // How often a new code, an approval or Unlink had changed the link flow by then.
    std::uint64_t linkChanges = 0;
};

// Whether the answer to `kind`'s request made for `madeFor` still belongs to what is `held` now.
// The account's requests belong to their token. A link-code request and a poll belong to the
// link flow as it stood: a new code (even one spelt like the last), an approval or Unlink
// makes their answers outdated.
bool belongsToHeldLink(TaskKind kind, const LinkSnapshot& madeFor, const LinkSnapshot& held);

}  // namespace vandreth
