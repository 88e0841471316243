// The publisher's signing command: a command line in which "{in}" stands for
// the file to sign and "{out}" for the signed file to write. A command
// without "{in}" signs "{out}" in place.
#pragma once

#include <string>

// Signs inPath into outPath with the command (run by the system's shell,
// its output captured in logPath, which is removed afterwards). False when
// the command fails or leaves no output file; failure then tells why, with
// the command's exit code and the last line it printed. outPath may equal
// inPath only for a command without "{in}".
bool RunSignCommand(const std::string& command, const std::string& inPath,
                    const std::string& outPath, const std::string& logPath, std::string* failure);
