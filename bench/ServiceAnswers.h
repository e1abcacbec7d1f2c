#pragma once
// The answers the benchmark's stand-in service gives: an account and a project list of any size.

#include <cstddef>
#include <string>

namespace vandreth::bench {

// The body of GET /api/pc/me: a signed-in user with no cores.
std::string accountAnswer();

// The body of GET /api/pc/instances with `count` projects whose pages lie under `origin`.
std::string projectsAnswer(std::size_t count, const std::string& origin);

}  // namespace vandreth::bench
