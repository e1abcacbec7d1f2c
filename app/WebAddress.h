#pragma once

#include <string>

namespace vandreth {

// True for an "http://" or "https://" address (scheme in any letter case) with a host: the only
// kind of address the client hands to the shell. Addresses come from the service and the URL
// box, and the shell's "open" verb would as readily start a program, a file or a network share.
// The shell also puts the address into the browser's command line, so an address holding a
// control character, a blank or one of "<>\^`{|} is refused as well (a browser gets those
// percent-encoded), as is one longer than 2,048 bytes or with a byte beyond ASCII before its
// path.
bool isWebAddress(const std::string& url);

}  // namespace vandreth
