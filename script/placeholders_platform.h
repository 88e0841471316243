// Where the folder placeholders take their paths from: the shell and the
// system on Windows; other platforms name none of them.
#pragma once

enum class PlaceholderFolder { Desktop, Programs, Windows, System };

// Writes the folder's path, without a trailing backslash, into `buffer`
// (kPathSize bytes); an empty text when the folder cannot be named.
void FetchPlaceholderFolder(PlaceholderFolder folder, char* buffer);
