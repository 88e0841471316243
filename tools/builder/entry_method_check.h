// An installer's entries weighed against the methods its own setup.exe
// reads: a payload packed with LZMA behind a setup.exe from before LZMA
// entries installs nothing.
#pragma once

// Prints "PATH: error: ... [unreadable-method]" for each entry of the
// installer at path whose method its setup.exe (the image in front of the
// payload) does not read, and returns their number. A setup.exe without the
// reader's methods text (archive_reader.h) reads stored and deflated entries
// only. 0 when the file holds no payload or nothing in front of it.
int ReportUnreadableMethods(const char* path);
