#include "registry.h"

#include <cstring>

#include "system/system_services.h"

namespace {

HRESULT FromRegistryResult(LONG error) {
    return error == ERROR_SUCCESS ? S_OK : HResultFromError(error);
}

} // namespace

HKEY PredefinedKey(uint32_t number) {
    return reinterpret_cast<HKEY>(static_cast<LONG_PTR>(static_cast<LONG>(number)));
}

void RegistryKey::Close() {
    if (handle != nullptr) {
        RegCloseKey(handle);
        handle = nullptr;
    }
}

HRESULT OpenRegistryKey(HKEY root, const char* path, REGSAM access, RegistryKey& key) {
    key.Close();
    return FromRegistryResult(RegOpenKeyExA(root, path, 0, access, &key.handle));
}

HRESULT CreateRegistryKey(HKEY root, const char* path, RegistryKey& key, bool& created) {
    key.Close();
    DWORD disposition = 0;
    LONG error = RegCreateKeyExA(root, path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key.handle,
                                 &disposition);
    created = error == ERROR_SUCCESS && disposition == REG_CREATED_NEW_KEY;
    return FromRegistryResult(error);
}

HRESULT ReadRegistryText(HKEY key, const char* name, char* buffer, DWORD size) {
    buffer[0] = '\0';
    DWORD type = 0;
    DWORD length = size;
    LONG error =
        RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(buffer), &length);
    if (error == ERROR_SUCCESS && type != REG_SZ && type != REG_EXPAND_SZ) {
        error = ERROR_INVALID_DATATYPE;
    }
    if (error != ERROR_SUCCESS) {
        buffer[0] = '\0';
        return FromRegistryResult(error);
    }
    buffer[length < size ? length : size - 1] = '\0';
    return S_OK;
}

HRESULT SetRegistryValue(HKEY key, const char* name, DWORD type, const void* data, DWORD size) {
    return FromRegistryResult(
        RegSetValueExA(key, name, 0, type, static_cast<const BYTE*>(data), size));
}

HRESULT SetRegistryText(HKEY key, const char* name, const char* text) {
    return SetRegistryValue(key, name, REG_SZ, text, static_cast<DWORD>(std::strlen(text) + 1));
}

HRESULT DeleteRegistryValue(HKEY key, const char* name) {
    return FromRegistryResult(RegDeleteValueA(key, name));
}

HRESULT InspectRegistryKey(HKEY key, RegistryKeyContents& contents) {
    contents = RegistryKeyContents{0, false, false};
    DWORD values = 0;
    LONG error = RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, &contents.subkeys, nullptr,
                                  nullptr, &values, nullptr, nullptr, nullptr, nullptr);
    for (DWORD i = 0; error == ERROR_SUCCESS && i < values; ++i) {
        char name[2];
        DWORD nameLength = sizeof name;
        LONG found = RegEnumValueA(key, i, name, &nameLength, nullptr, nullptr, nullptr, nullptr);
        // A name that does not fit two bytes is not the empty default name.
        if (found == ERROR_SUCCESS && nameLength == 0) {
            contents.defaultValue = true;
        } else {
            contents.namedValues = true;
        }
    }
    return FromRegistryResult(error);
}

HRESULT DeleteRegistryKey(HKEY root, const char* path) {
    return FromRegistryResult(RegDeleteKeyA(root, path));
}
