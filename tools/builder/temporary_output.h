// The files and folders a run makes before its result is in place: an
// installer under a temporary name beside its output, a signed copy, a
// staging folder. They are removed on every way out, also when the run is
// ended by SIGINT, SIGTERM or SIGHUP (on Windows by a console control
// event), and each has a name no other run can take.
#pragma once

#include <string>
#include <vector>

// Creates a new, empty file "OUT.UNIQUE.SUFFIX" in the folder of outPath,
// exclusively (no other run, at the same time or earlier, gets that name),
// and registers it (RegisterTemporary). False when none can be created.
bool CreateTemporaryBeside(const std::string& outPath, const char* suffix, std::string* path);

// Registers a file, or a folder with everything in it, to be removed when a
// signal ends the run. The caller still removes it on its own ways out.
void RegisterTemporary(const std::string& path);

// Forgets a registered path (after it was removed or moved into place).
void ForgetTemporary(const std::string& path);

// Removes a registered file and forgets it.
void RemoveTemporary(const std::string& path);

// Renames a registered file onto target in one step and forgets it; no
// signal can remove it half-way. False when the rename fails (the file is
// then still registered).
bool MoveTemporaryInto(const std::string& path, const std::string& target);

// The first of `inputs` that is the same file as outPath (links resolved:
// device and file number, or the volume's file index on Windows), or an
// empty text when none is or outPath does not exist.
std::string InputNamedAsOutput(const std::string& outPath, const std::vector<std::string>& inputs);
