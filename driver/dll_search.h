// Safe loading of system libraries. Setup programs are started from download
// folders, where a library planted beside the program would otherwise be
// loaded by bare name and run with administrator rights.
#pragma once

#include <windows.h>

// Limits the library search of this process to the system directory where
// the platform allows it, and takes the current directory out of the search
// in every case. Call first thing, before any library is loaded by name.
// True when the search is limited to the system directory.
bool RestrictDllSearchToSystemDirectory();

// Loads the named library from the system directory by its full path, so no
// other folder is searched for it. Null when it cannot be loaded.
HMODULE LoadSystemLibrary(const char* fileName);
