#pragma once

#include <string>

namespace vandreth {

// True for an "http://" or "https://" address (scheme in any letter case) with a host and no
// control characters: the only kind of address the client hands to the shell. Addresses come
// from the service and the URL box, and the shell's "open" verb would as readily start a
// program, a file or a network share.
bool isWebAddress(const std::string& url);

}  // namespace vandreth
