// Keeps Wine's desktop in use for as long as it runs, and does nothing else.
//
// Wine closes a desktop a second after its last program has gone. The next program that needs
// one starts a new desktop process, which inherits that program's standard output and error;
// CTest waits for those to close, so that program's test "runs" until the new desktop closes in
// turn: at the end of the whole run, well past its time-out. tools/run-tests.sh runs this for
// the whole test run, away from CTest's pipes, and waits for its line that it is on the desktop;
// the wineserver ends it at the end.
#include <windows.h>

#include <cstdio>

int main()
{
    // Joins the desktop (starting it if need be), as any program with a window would.
    GetDesktopWindow();
    std::puts("on the desktop");
    std::fflush(stdout);
    Sleep(INFINITE);
}
