// The publisher's signing command: a command line in which "{in}" stands for
// the file to sign and "{out}" for the signed file to write. A command
// without "{in}" signs "{out}" in place.
//
// The command line is run by the system's shell (/bin/sh -c, cmd.exe /c) as
// written; the paths never become part of its text. They are handed over in
// the environment variables TOLVANEX_SIGN_IN and TOLVANEX_SIGN_OUT, and each
// "{in}" and "{out}" is replaced, in one pass over the command, by a
// reference to its variable quoted for where it stands (outside quotes, in
// double quotes, in single quotes): the shell reads the path as one word and
// never reads a byte of it as shell syntax.
#pragma once

#include <string>

inline constexpr char kSignInVariable[] = "TOLVANEX_SIGN_IN";
inline constexpr char kSignOutVariable[] = "TOLVANEX_SIGN_OUT";

// The command line the shell runs for a command: placeholders replaced by
// variable references as above.
std::string SignShellLine(const std::string& command);

// A path as handed to the signer: a relative path that begins with "-" gets
// "./" (".\\" on Windows) before it, so that no tool takes it for an option.
std::string SignerPath(const std::string& path);

// Signs inPath into outPath with the command, its output (stdout and stderr)
// read into memory, so that its last line can be told even when no file can
// be written. False when the command fails or leaves no output file; failure
// then tells why, with the command's exit code and the last line it printed.
// outPath may equal inPath only for a command without "{in}".
bool RunSignCommand(const std::string& command, const std::string& inPath,
                    const std::string& outPath, std::string* failure);
