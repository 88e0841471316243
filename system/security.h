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

// Creates the folder `path` of an installation with a protected access list
// like the Program Files folder's: full control for administrators and the
// system, read and execute for users, inherited by everything placed in it,
// none of the inherited entries of its parent (which below a drive root let
// every user change files). S_OK, or the failure's HRESULT; an existing
// folder fails with that error and keeps its own access list.
HRESULT CreateInstallationFolder(const char* path);
