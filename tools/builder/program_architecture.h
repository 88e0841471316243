// The architecture an installer is built for: its setup.exe and its
// uninstall.exe are both 32-bit (x86) or both 64-bit (x64) Windows programs.
// A 32-bit setup on 64-bit Windows writes into the 32-bit views of the
// system (Program Files (x86), the registry's WOW6432Node); a 64-bit one
// writes into the 64-bit views and does not start on 32-bit Windows.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

enum class Machine {
    NotProgram, // no PE image, or one too damaged to tell
    X86,
    X64,
    Other, // a PE image for another processor
};

// The machine a PE image's file header names; NotProgram for anything else.
// Only the first bytes are needed: the header lies within the first few KiB.
Machine MachineOfImage(const unsigned char* data, size_t size);

// MachineOfImage of the file at `path`; NotProgram when it cannot be read.
Machine MachineOfFile(const std::string& path);

// "x86" or "x64" (letter case aside) as X86 or X64; false for anything else.
bool ParseArchitecture(const std::string& text, Machine* machine);

// "x86", "x64", or "other"/"none" for the rest.
const char* ArchitectureName(Machine machine);

// "32-bit", "64-bit", or "non-x86" for the rest.
const char* MachineBits(Machine machine);

// The registry view a setup of `machine` writes HKEY_LOCAL_MACHINE\SOFTWARE
// in on 64-bit Windows, "64-bit" or "32-bit" (WOW6432Node); null when the
// stub is no x86 or x64 program.
const char* RegistryViewOf(Machine machine);

// The problem, in one sentence, when an installer's two programs are of
// different machines; empty when they agree or one of them is no program.
std::string MixedMachinesProblem(Machine setup, Machine uninstaller);

// What `program` (a file named `what`) fails of the architecture a build
// asks for; empty when it is a program of `wanted` or no program at all.
std::string WrongMachineProblem(const char* what, Machine program, Machine wanted);

// The name the product's program `baseName` ("setup.exe") of `machine` has
// beside the builder: "setup-x64.exe".
std::string ProgramNameFor(const char* baseName, Machine machine);

// Where the builder looks for the project's own programs and pictures:
// beside the tool (the build tree), then ../share/tolvanex (an installed copy
// in bin/). Empty when the tool's own folder is unknown.
std::vector<std::string> DefaultPlaces(const char* fileName);

// The length the checks assume for %%PROGRAMFILES%% in a 64-bit setup:
// "C:\Program Files\" is shorter than the 32-bit program's
// "C:\Program Files (x86)\", with the same room for another drive or a
// translated folder name.
constexpr int kProgramFiles64AssumedLength = 26;
