// uninstall.exe: removes an installation by the uninstall.log beside it.
#include <windows.h>

#include "driver/dll_search.h"
#include "uninstall/uninstaller.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    RestrictDllSearchToSystemDirectory();
    return RunUninstaller(instance, GetCommandLineA());
}
