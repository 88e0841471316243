// The file calls the portable writers need beyond the C library's.
#pragma once

// Replaces `target` with `source` in one step (a rename that may overwrite),
// written through to the disk, so that a reader sees the old file or the new
// one, never a part of either. False when the platform refuses; both files
// then stay as they were.
bool ReplaceFileWith(const char* source, const char* target);
