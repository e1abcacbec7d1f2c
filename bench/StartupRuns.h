#pragma once
// One start of a program (the client or a bare window), timed and watched from outside: how long
// until its first text, how soon its window answers, and the memory it took.

#include "FromOutside.h"

#include <string>

namespace vandreth::bench {

struct StartupRun {
    bool ok = false;
    std::string failure;
    double toFirstText = 0;
    double madeUntilLoop = 0;   // from the window's creation to the first answer
    double shownUntilLoop = 0;  // the first round trip, sent as soon as the window is visible
    double afterwards = 0;      // the longest of the others
    MemoryFigures memory;
};

// Starts `program`, waits for its top-level window of `className` and for `firstText` in that
// window (or in its control `textId` when that is not 0), then, when `settledText` is given, for
// that text too; samples the window's answers until a while after that and closes the program.
StartupRun startOnce(const std::wstring& program, const char* className, int textId, const std::string& firstText,
                     const std::string& settledText);

}  // namespace vandreth::bench
