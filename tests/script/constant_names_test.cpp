#include "script/constant_names.h"

#ifdef _WIN32
#include <windows.h>
#endif

#include <gtest/gtest.h>

namespace {

TEST(ConstantNames, MapToThePlatformNumbers) {
    const struct {
        uint32_t (*lookUp)(const char*);
        const char* name;
        uint32_t expected;
    } cases[] = {
        {RegistryValueTypeFromName, "REG_BINARY", 3},
        {RegistryValueTypeFromName, "REG_SZ", 1},
        {RegistryValueTypeFromName, "REG_DWORD", 4},
        {RegistryValueTypeFromName, "REG_EXPAND_SZ", 2},
        {RegistryValueTypeFromName, "REG_NONE", 0},
        {RegistryValueTypeFromName, "reg_dword", 1},
        {RegistryValueTypeFromName, "REG_MULTI_SZ", 1},
        {RegistryValueTypeFromName, "", 1},
        {RootKeyFromName, "HKEY_LOCAL_MACHINE", 0x80000002},
        {RootKeyFromName, "HKEY_CLASSES_ROOT", 0x80000000},
        {RootKeyFromName, "HKEY_CURRENT_USER", 0x80000001},
        {RootKeyFromName, "HKEY_CURRENT_CONFIG", 0x80000005},
        {RootKeyFromName, "HKEY_USERS", 0x80000003},
        {RootKeyFromName, "hkey_current_user", 0x80000002},
        {RootKeyFromName, "HKLM", 0x80000002},
        {RootKeyFromName, "", 0x80000002},
        {ServiceTypeFromName, "FILE_SYSTEM_DRIVER", 0x2},
        {ServiceTypeFromName, "KERNEL_DRIVER", 0x1},
        {ServiceTypeFromName, "WIN32_OWN_PROCESS", 0x10},
        {ServiceTypeFromName, "WIN32_SHARE_PROCESS", 0x20},
        {ServiceTypeFromName, "Kernel_Driver", 0x10},
        {ServiceTypeFromName, "", 0x10},
        {ErrorControlFromName, "ERROR_IGNORE", 0},
        {ErrorControlFromName, "ERROR_NORMAL", 1},
        {ErrorControlFromName, "ERROR_SEVERE", 2},
        {ErrorControlFromName, "ERROR_CRITICAL", 3},
        {ErrorControlFromName, "error_ignore", 1},
        {ErrorControlFromName, "IGNORE", 1},
        {StartTypeFromName, "AUTO_START", 2},
        {StartTypeFromName, "BOOT_START", 0},
        {StartTypeFromName, "DEMAND_START", 3},
        {StartTypeFromName, "DISABLED", 4},
        {StartTypeFromName, "SYSTEM_START", 1},
        {StartTypeFromName, "disabled", 3},
        {StartTypeFromName, "AUTO_START ", 3},
        {StartTypeFromName, "", 3},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.expected, c.lookUp(c.name)) << '"' << c.name << '"';
    }
}

#ifdef _WIN32
TEST(ConstantNames, MatchTheWindowsHeaders) {
    EXPECT_EQ(static_cast<uint32_t>(REG_EXPAND_SZ), RegistryValueTypeFromName("REG_EXPAND_SZ"));
    EXPECT_EQ(HKEY_CURRENT_CONFIG, reinterpret_cast<HKEY>(static_cast<LONG_PTR>(
                                       static_cast<LONG>(RootKeyFromName("HKEY_CURRENT_CONFIG")))));
    EXPECT_EQ(static_cast<uint32_t>(SERVICE_WIN32_SHARE_PROCESS),
              ServiceTypeFromName("WIN32_SHARE_PROCESS"));
    EXPECT_EQ(static_cast<uint32_t>(SERVICE_ERROR_CRITICAL),
              ErrorControlFromName("ERROR_CRITICAL"));
    EXPECT_EQ(static_cast<uint32_t>(SERVICE_SYSTEM_START), StartTypeFromName("SYSTEM_START"));
}
#endif

TEST(RegistryRootFromName, ReadsRootNamesAsTheInstallerDoes) {
    const char* const names[] = {"HKEY_LOCAL_MACHINE", "HKEY_CLASSES_ROOT",
                                 "HKEY_CURRENT_USER",  "HKEY_CURRENT_CONFIG",
                                 "HKEY_USERS",         "HKLM",
                                 "hkey_users",         ""};
    const uint32_t numbers[] = {0x80000002, 0x80000000, 0x80000001, 0x80000005, 0x80000003};
    const RegistryRoot roots[] = {RegistryRoot::LocalMachine, RegistryRoot::ClassesRoot,
                                  RegistryRoot::CurrentUser, RegistryRoot::CurrentConfig,
                                  RegistryRoot::Users};
    for (const char* name : names) {
        RegistryRoot root = RegistryRootFromName(name);
        for (size_t i = 0; i < 5; ++i) {
            EXPECT_EQ(root == roots[i], RootKeyFromName(name) == numbers[i]) << name;
        }
        EXPECT_EQ(RegistryRootFromName(RegistryRootName(root)), root);
    }
}

} // namespace
