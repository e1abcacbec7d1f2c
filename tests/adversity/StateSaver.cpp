// Saves the state file over and over, the way the client saves it, until it is killed: the
// interrupted-save test ends it at moments of its choosing.
//
//   adversity_state_saver ORIGIN DEVICE_ID TOKEN ORIGIN DEVICE_ID TOKEN
//
// Alternates between the two states given (a token may be empty) and prints "saving" once a
// save has succeeded, so that the file exists from then on.

#include "StateFile.h"

#include <cstdio>
#include <string>

int main(int argc, char** argv)
{
    if (argc != 7) {
        std::fputs("usage: adversity_state_saver ORIGIN DEVICE_ID TOKEN ORIGIN DEVICE_ID TOKEN\n", stderr);
        return 2;
    }
    const std::string texts[] = {vandreth::stateText(argv[1], argv[2], argv[3]),
                                 vandreth::stateText(argv[4], argv[5], argv[6])};
    const std::filesystem::path path = vandreth::statePath();
    bool announced = false;
    for (unsigned long long round = 0;; ++round) {
        if (vandreth::replaceFileText(path, texts[round % 2]) && !announced) {
            std::puts("saving");
            std::fflush(stdout);
            announced = true;
        }
    }
}
