// The payload's setup.ini made from a build script: what `build` writes, and
// the reading back that shows it is what setup.exe will read.
#pragma once

#include <string>
#include <vector>

#include "tools/builder/build_sources.h"
#include "tools/builder/script_document.h"

// The script without [build] and [sources], its [folders] completed with
// the folders the files need (after the listed ones, which are found by
// walking the section once, whatever its count says) and its [files]
// written from the sources in their order. Generated entries carry the
// script line they come from.
ScriptDocument GenerateSetupScript(const ScriptDocument& script, const ScriptSection& sources,
                                   const std::vector<SourceFile>& files);

// Whether `text` reads back as the document it was written from: as many
// sections, each with as many entries. False, with the script's line of
// the first section or entry that differs, when a name or value would end
// its line or open a section in the written bytes.
bool ReadsBackAsWritten(const ScriptDocument& payload, const std::string& text, int* line);
