#pragma once
// The project rows read straight from the answer's bytes, without building the parsed answer: an
// experiment that shows what the parsed answer costs.

#include "AppTypes.h"

#include <string>
#include <vector>

namespace vandreth::bench {

// The rows of the answer's "instances", as the client's reader takes them from a parsed answer.
std::vector<ProjectRow> rowsStraightFromBytes(const std::string& bytes);

}  // namespace vandreth::bench
