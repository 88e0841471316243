// The install engine's rules that need no platform: which payload entries are
// application files, how a registry value's text becomes its data, and the
// command line of the .NET Framework installer.
#pragma once

#include <cstddef>
#include <cstdint>

// True when the payload entry is an application file: its name contains
// "file_" anywhere (case-sensitive). Such entries are installed, not staged.
bool IsApplicationEntry(const char* entryName);

// True only for the entry named exactly "uninstall.exe".
bool IsUninstallerEntry(const char* entryName);

// The data of a registry value of the given type (the platform's REG_*
// number) written as `text`, stored into `data` of `size` bytes. Returns the
// number of data bytes, or -1 when they do not fit.
// - REG_SZ (1) and REG_EXPAND_SZ (2): the text with its terminating zero.
// - REG_DWORD (4): the text as a number, 4 bytes little-endian; decimal, or
//   hexadecimal after "0x"; an optional "-" negates modulo 2^32; digits stop
//   at the first other character; more than 32 bits give 0xFFFFFFFF.
// - every other type: the characters of the text, without the zero.
int32_t EncodeRegistryData(uint32_t type, const char* text, unsigned char* data, size_t size);

// The number a REG_DWORD value's text stands for (rules above).
uint32_t ParseRegistryNumber(const char* text);

// Writes the command line that runs the .NET Framework installer quietly:
// its path in quotes (it lies in the temporary directory, which may hold
// blanks) and its switches. False when it does not fit in `size` bytes; the
// buffer then holds an empty string.
bool FormatDotNetCommandLine(const char* installerPath, char* buffer, size_t size);
