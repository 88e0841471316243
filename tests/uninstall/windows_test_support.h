// Helpers for the uninstaller's tests on the real platform: scratch folders,
// files, registry keys and services that the tests create and check.
#pragma once

#include <windows.h>

#include <string>

// A new empty folder under the Program Files directory, ending in "\".
std::string MakeScratchFolder(const std::string& name);
// Removes a scratch folder with everything in it (tests only).
void RemoveScratchFolder(const std::string& folder);

bool Exists(const std::string& path);
void WriteTextFile(const std::string& path, const std::string& text);

bool KeyExists(HKEY root, const std::string& path);
bool ValueExists(HKEY root, const std::string& path, const char* name);
void SetStringValue(HKEY root, const std::string& path, const char* name, const std::string& data);
// Removes a key and its subkeys (tests only).
void RemoveKeyTree(HKEY root, const std::string& path);

bool ServiceExists(const char* name);
// Creates a demand-start service for `binaryPath`; false when it cannot.
bool CreateTestService(const char* name, const std::string& binaryPath);
void DeleteTestService(const char* name);
// Starts the service and waits until it runs; false when it does not.
bool StartTestService(const char* name);
