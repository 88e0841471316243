// Text in fixed buffers: every copy stays within its buffer and ends in a
// terminating zero, and says whether the whole text fitted, so that a path
// cut short is never used as if it were whole.
#pragma once

#include <cstddef>

// Copies `text` into `target` of `size` bytes (size > 0), cut to size - 1
// characters. True when nothing was cut.
bool CopyBoundedText(char* target, size_t size, const char* text);

// Appends `text` to the terminated text in `target`, cut the same way.
bool AppendBoundedText(char* target, size_t size, const char* text);

// `first` followed by `second`.
bool JoinBoundedText(char* target, size_t size, const char* first, const char* second);
