// The program's entry: initialise the common controls, run the one application object.

#include "VandrethWinApp.h"

#include <windows.h>

#include <commctrl.h>

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int showCommand)
{
    INITCOMMONCONTROLSEX controls{};
    controls.dwSize = sizeof(controls);
    controls.dwICC = ICC_STANDARD_CLASSES;
    InitCommonControlsEx(&controls);

    vandreth::VandrethWinApp app;
    return app.run(instance, showCommand);
}
