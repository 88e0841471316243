#include "driver/setup_driver.h"

// The whole command line, program name included, goes into the log; the
// show-window hint is not used: the windows place themselves.
int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    return RunSetup(instance, GetCommandLineA());
}
