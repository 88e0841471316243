// The file calls the portable writers need beyond the C library's.
#pragma once

// Replaces `target` with `source` in one step (a rename that may overwrite),
// written through to the disk, so that a reader sees the old file or the new
// one, never a part of either. False when the platform refuses; both files
// then stay as they were.
bool ReplaceFileWith(const char* source, const char* target);

// Whether `path` names a link to elsewhere rather than a folder or file of
// its own: a symbolic link or junction (a mount point), or a reparse point
// whose kind cannot be read (Wine shows a host's symbolic link to a folder
// so). Removing one may reach its target. False when the path does not exist.
bool IsFileSystemLink(const char* path);
