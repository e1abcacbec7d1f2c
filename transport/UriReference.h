#pragma once
// A URI reference, such as the Location of a redirect, made absolute against the URI it came
// with, the way RFC 3986 (section 5.2) resolves it.

#include <string>

namespace vandreth {

// `reference` resolved against `base`, an absolute URI: an absolute URI stays as it is, and a
// scheme-relative reference, an absolute path, a relative path and a query alone each take
// what they lack from `base`. Dot segments ("." and "..") are removed from the path. The
// fragment of either is left out: it never goes into a request.
std::string resolveReference(const std::string& base, const std::string& reference);

}  // namespace vandreth
