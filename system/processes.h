// Programs and libraries: running a command line to its end, and loading
// system libraries safely. Setup programs are started from download folders,
// where a library planted beside the program would otherwise be loaded by
// bare name and run with administrator rights.
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

// The address of a function of a loaded library, as the pointer type the
// caller names (which must carry WINAPI); null when either is missing.
template <typename Function> Function FindLibraryFunction(HMODULE library, const char* name) {
    if (library == nullptr) {
        return nullptr;
    }
    return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(library, name)));
}

// Registers the common controls' progress bar class, from the system
// directory's library. False when it cannot.
bool RegisterProgressBarClass();

// Starts `commandLine` (a writable buffer, as CreateProcessA wants) detached
// and waits for it without time-out. Returns the process's exit code, or,
// when the process cannot be created, the HRESULT of that failure.
DWORD RunAndWait(char* commandLine);
