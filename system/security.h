// Who runs the program, and folders only administrators can reach.
#pragma once

#include <windows.h>

// True when the current token belongs to the built-in Administrators group,
// deny-only membership included; false on any failure.
bool IsUserAdministrator();

// Creates the folder `path` with an access list that admits administrators
// and the system only (full control, inherited by everything placed in it),
// so that no program of an ordinary user can place files there. S_OK, or
// the failure's HRESULT; an existing folder fails with that error.
HRESULT CreateAdministratorsOnlyFolder(const char* path);
