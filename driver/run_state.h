// The state of one setup run: the settings read from setup.ini and the values
// the start-up, the pages and the installation share. There is one instance of
// each for the whole process; the setup driver owns it and hands each page
// the fields it reads and writes (ui/page_frame.h).
#pragma once

#include <windows.h>

#include <cstdint>

#include "driver/command_line.h"
#include "script/setup_script.h"
#include "ui/page_frame.h"

struct RunState {
    SetupSettings Settings;
    char StagingDirectory[kPathSize];     // always ends in a backslash
    char DestinationDirectory[kPathSize]; // ends in a backslash once installing
    char ProgramFilesDirectory[kPathSize];
    char RegisteredUserName[kTextSize];
    char RegisteredCompanyName[kTextSize];
    char UserName[kTextSize];
    char CompanyName[kTextSize];
    char LeftPicturePath[kPathSize];
    char TopPicturePath[kPathSize];
    HFONT TitleFont;
    int32_t AppEntryCount;
    int32_t AppBytesTotal;
    int32_t BytesPerPercent;
    int32_t BytesInstalled;
    char* LicenceText; // whole licence file while its page is shown, else null
    char* ReadmeText;  // whole readme file while its page is shown, else null
    HWND ProgressPage;
    HWND PreparingDialog; // the window shown while the support files are staged
    HINSTANCE Instance;   // module of the dialog templates, strings and icons
    SetupOptions Options; // from the command line
    bool ItemFailed;      // an item of the installation could not be made
};

// The run's one instance, zero-initialised at start.
extern RunState Run;

// What every page shows of the run, as it stands now; lives as long as Run.
const PageFrame& CurrentPageFrame();
