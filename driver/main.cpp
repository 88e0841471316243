#include "driver/setup_driver.h"

// The command line and the show-window hint are not used: the program has no
// options, and its windows place themselves.
int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    return RunSetup(instance);
}
