// uninstall.exe: removes an installation by the uninstall.log beside it.
#include <windows.h>

#include "system/processes.h"
#include "uninstall/uninstaller.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    RestrictDllSearchToSystemDirectory();
    return RunUninstaller(instance, GetCommandLineA());
}
