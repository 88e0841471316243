// The administrator check and the library loading limited to the system
// directory, on the real system calls.
#include <gtest/gtest.h>

#include <string>

#include "system/processes.h"
#include "system/security.h"

namespace {

std::string SystemDirectory() {
    char path[MAX_PATH];
    UINT length = GetSystemDirectoryA(path, MAX_PATH);
    return std::string(path, length);
}

// Wine runs every program with the Administrators group in its token.
TEST(Startup, FindsTheAdministratorsGroupInTheToken) {
    EXPECT_TRUE(IsUserAdministrator());
}

TEST(DllSearch, LimitsTheSearchAndLoadsSystemLibrariesByFullPath) {
    EXPECT_TRUE(RestrictDllSearchToSystemDirectory());
    HMODULE library = LoadSystemLibrary("riched32.dll");
    ASSERT_NE(library, nullptr);
    char path[MAX_PATH];
    GetModuleFileNameA(library, path, MAX_PATH);
    EXPECT_EQ(_strnicmp(path, SystemDirectory().c_str(), SystemDirectory().size()), 0) << path;
    FreeLibrary(library);
}

TEST(DllSearch, RefusesNamesThatAreMissingOrTooLong) {
    EXPECT_EQ(LoadSystemLibrary("no_such_library_here.dll"), nullptr);
    EXPECT_EQ(LoadSystemLibrary(std::string(MAX_PATH, 'a').c_str()), nullptr);
}

} // namespace
