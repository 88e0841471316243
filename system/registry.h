// Registry keys and values, for setup.exe and uninstall.exe alike. Roots are
// the predefined keys, given by the numbers the constant-name table holds
// (0x80000002 for HKEY_LOCAL_MACHINE). Failures are HRESULTs: S_OK, or the
// platform's error as HRESULT_FROM_WIN32 (HRESULT_CODE gives it back).
#pragma once

#include <windows.h>

#include <cstdint>

// The predefined key for the low 32 bits of its handle, sign-extended as the
// platform defines them.
HKEY PredefinedKey(uint32_t number);

// Closes the key it holds on every path.
struct RegistryKey {
    HKEY handle = nullptr;
    RegistryKey() = default;
    RegistryKey(const RegistryKey&) = delete;
    RegistryKey& operator=(const RegistryKey&) = delete;
    ~RegistryKey() { Close(); }
    void Close();
};

HRESULT OpenRegistryKey(HKEY root, const char* path, REGSAM access, RegistryKey& key);

// Creates the key or opens it when it exists, with full access; `created`
// tells which.
HRESULT CreateRegistryKey(HKEY root, const char* path, RegistryKey& key, bool& created);

// Reads a REG_SZ or REG_EXPAND_SZ value into `buffer` of `size` bytes,
// terminated (a stored string may lack its zero). On any failure, a value of
// another type included, the buffer holds an empty text.
HRESULT ReadRegistryText(HKEY key, const char* name, char* buffer, DWORD size);

// `name` null or empty sets the key's default value.
HRESULT SetRegistryValue(HKEY key, const char* name, DWORD type, const void* data, DWORD size);
// A REG_SZ value, its terminating zero counted in the data.
HRESULT SetRegistryText(HKEY key, const char* name, const char* text);

HRESULT DeleteRegistryValue(HKEY key, const char* name);

// How many subkeys the open key has, and whether it holds a value other
// than its unnamed default one and whether it holds the default one.
struct RegistryKeyContents {
    DWORD subkeys;
    bool namedValues;
    bool defaultValue;
};
HRESULT InspectRegistryKey(HKEY key, RegistryKeyContents& contents);

// Deletes a key that has no subkeys.
HRESULT DeleteRegistryKey(HKEY root, const char* path);
