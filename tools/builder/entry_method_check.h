// An installer's entries weighed against the methods its own setup.exe
// reads: a payload packed with LZMA behind a setup.exe from before LZMA
// entries installs nothing.
#pragma once

#include <vector>

#include "tools/builder/script_checks.h"

// Appends an [unreadable-method] finding about the installer at path for each
// entry whose method its setup.exe (the image in front of the payload) does
// not read. A setup.exe without the reader's methods text (archive_reader.h)
// reads stored and deflated entries only. Nothing when the file holds no
// payload or nothing in front of it.
void CheckEntryMethods(const char* path, std::vector<Finding>* findings);
