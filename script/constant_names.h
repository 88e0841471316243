// The names by which setup scripts and uninstall logs give registry roots,
// registry value types and service settings, and the platform numbers behind
// them. One table of each, for the installer, the uninstaller and the
// builder's checks alike. Names are compared whole and case-sensitively; an
// unknown or empty name gives the table's default. All numbers are those of
// the Windows headers.
#pragma once

#include <cstddef>
#include <cstdint>

struct ConstantName {
    const char* name;
    uint32_t number;
};

// One table: its rows in the order they are matched, and what an unknown
// name gives.
struct ConstantTable {
    const ConstantName* rows;
    size_t count;
    uint32_t fallback;
    const char* fallbackName;
};

enum class ConstantKind {
    RegistryRoot,        // "%s_hkey" of [reg]
    RegistryValueType,   // "%s_type" of [reg]
    ServiceType,         // "%s_type" of [svc]
    ServiceStartType,    // "%s_starttype" of [svc]
    ServiceErrorControl, // "%s_errortype" of [svc]
};

const ConstantTable& GetConstantTable(ConstantKind kind);

// True when `name` is a row of the table, with its number in `number`
// (optional); false for any other name (the table's default then applies).
bool FindConstant(ConstantKind kind, const char* name, uint32_t* number);

// The value type whose data is a number rather than text.
constexpr uint32_t kRegistryDwordType = 4; // REG_DWORD

uint32_t RegistryValueTypeFromName(const char* name); // REG_*; default REG_SZ (1)
// Low 32 bits of the predefined key handle; HKEY_LOCAL_MACHINE (0x80000002)
// by default. Make the HKEY by sign extension: (HKEY)(LONG_PTR)(LONG)number.
uint32_t RootKeyFromName(const char* name);
uint32_t ServiceTypeFromName(const char* name);  // default SERVICE_WIN32_OWN_PROCESS (0x10)
uint32_t ErrorControlFromName(const char* name); // default SERVICE_ERROR_NORMAL (1)
uint32_t StartTypeFromName(const char* name);    // default SERVICE_DEMAND_START (3)

// The registry roots a script can name, numbered as their predefined handles.
enum class RegistryRoot : uint32_t {
    ClassesRoot = 0x80000000,
    CurrentUser = 0x80000001,
    LocalMachine = 0x80000002,
    Users = 0x80000003,
    CurrentConfig = 0x80000005,
};

// The installer's reading of a root name.
RegistryRoot RegistryRootFromName(const char* name);
// "HKEY_LOCAL_MACHINE" and so on; the name is lent, never released.
const char* RegistryRootName(RegistryRoot root);

// True when a registry key path, without separators at its ends, names one
// of the platform's root keys itself: a root's name or its usual
// abbreviation in any letter case ("hklm"), including the roots that scripts
// cannot name (performance and dynamic data).
bool IsRootKeyName(const char* keyPath);
