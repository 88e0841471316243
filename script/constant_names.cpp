#include "constant_names.h"

#include <cstring>
#include <iterator>

#include "system/ansi_text.h"

namespace {

const ConstantName kRegistryRoots[] = {
    {"HKEY_LOCAL_MACHINE", 0x80000002}, {"HKEY_CLASSES_ROOT", 0x80000000},
    {"HKEY_CURRENT_USER", 0x80000001},  {"HKEY_CURRENT_CONFIG", 0x80000005},
    {"HKEY_USERS", 0x80000003},
};

const ConstantName kRegistryValueTypes[] = {
    {"REG_BINARY", 3},    {"REG_SZ", 1},   {"REG_DWORD", kRegistryDwordType},
    {"REG_EXPAND_SZ", 2}, {"REG_NONE", 0},
};

const ConstantName kServiceTypes[] = {
    {"FILE_SYSTEM_DRIVER", 0x2},
    {"KERNEL_DRIVER", 0x1},
    {"WIN32_OWN_PROCESS", 0x10},
    {"WIN32_SHARE_PROCESS", 0x20},
};

const ConstantName kServiceStartTypes[] = {
    {"AUTO_START", 2}, {"BOOT_START", 0}, {"DEMAND_START", 3}, {"DISABLED", 4}, {"SYSTEM_START", 1},
};

const ConstantName kServiceErrorControls[] = {
    {"ERROR_IGNORE", 0},
    {"ERROR_NORMAL", 1},
    {"ERROR_SEVERE", 2},
    {"ERROR_CRITICAL", 3},
};

const ConstantTable kTables[] = {
    {kRegistryRoots, std::size(kRegistryRoots), 0x80000002, "HKEY_LOCAL_MACHINE"},
    {kRegistryValueTypes, std::size(kRegistryValueTypes), 1, "REG_SZ"},
    {kServiceTypes, std::size(kServiceTypes), 0x10, "WIN32_OWN_PROCESS"},
    {kServiceStartTypes, std::size(kServiceStartTypes), 3, "DEMAND_START"},
    {kServiceErrorControls, std::size(kServiceErrorControls), 1, "ERROR_NORMAL"},
};

// The usual abbreviations of the roots, and the roots only the platform
// names; as key paths they would name a root too.
const char* const kOtherRootNames[] = {
    "HKLM", "HKCR", "HKCU", "HKCC", "HKU", "HKEY_PERFORMANCE_DATA", "HKEY_DYN_DATA",
};

uint32_t NumberFromName(ConstantKind kind, const char* name) {
    uint32_t number = GetConstantTable(kind).fallback;
    FindConstant(kind, name, &number);
    return number;
}

} // namespace

const ConstantTable& GetConstantTable(ConstantKind kind) {
    return kTables[static_cast<size_t>(kind)];
}

bool FindConstant(ConstantKind kind, const char* name, uint32_t* number) {
    const ConstantTable& table = GetConstantTable(kind);
    for (size_t i = 0; name != nullptr && i < table.count; ++i) {
        if (std::strcmp(table.rows[i].name, name) == 0) {
            if (number != nullptr) {
                *number = table.rows[i].number;
            }
            return true;
        }
    }
    return false;
}

uint32_t RegistryValueTypeFromName(const char* name) {
    return NumberFromName(ConstantKind::RegistryValueType, name);
}

uint32_t RootKeyFromName(const char* name) {
    return NumberFromName(ConstantKind::RegistryRoot, name);
}

uint32_t ServiceTypeFromName(const char* name) {
    return NumberFromName(ConstantKind::ServiceType, name);
}

uint32_t ErrorControlFromName(const char* name) {
    return NumberFromName(ConstantKind::ServiceErrorControl, name);
}

uint32_t StartTypeFromName(const char* name) {
    return NumberFromName(ConstantKind::ServiceStartType, name);
}

RegistryRoot RegistryRootFromName(const char* name) {
    return static_cast<RegistryRoot>(RootKeyFromName(name));
}

const char* RegistryRootName(RegistryRoot root) {
    for (const ConstantName& row : kRegistryRoots) {
        if (row.number == static_cast<uint32_t>(root)) {
            return row.name;
        }
    }
    return GetConstantTable(ConstantKind::RegistryRoot).fallbackName;
}

bool IsRootKeyName(const char* keyPath) {
    for (const ConstantName& row : kRegistryRoots) {
        if (EqualIgnoringCase(keyPath, row.name)) {
            return true;
        }
    }
    for (const char* name : kOtherRootNames) {
        if (EqualIgnoringCase(keyPath, name)) {
            return true;
        }
    }
    return false;
}
