#include "placeholders_platform.h"

#include "setup_script.h"
#include "system/shell.h"

namespace {

// The system calls report the size they need, without writing, when the
// buffer is too small.
void KeepIfItFits(UINT length, char* buffer) {
    if (length == 0 || length >= static_cast<UINT>(kPathSize)) {
        buffer[0] = '\0';
    }
}

} // namespace

void FetchPlaceholderFolder(PlaceholderFolder folder, char* buffer) {
    buffer[0] = '\0';
    switch (folder) {
    case PlaceholderFolder::Desktop:
        GetDesktopPath(buffer);
        break;
    case PlaceholderFolder::Programs:
        GetProgramsMenuPath(buffer);
        break;
    case PlaceholderFolder::Windows:
        KeepIfItFits(GetWindowsDirectoryA(buffer, kPathSize), buffer);
        break;
    case PlaceholderFolder::System:
        KeepIfItFits(GetSystemDirectoryA(buffer, kPathSize), buffer);
        break;
    }
}
