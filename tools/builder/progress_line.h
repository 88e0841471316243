// One line of progress on a terminal: bytes and files done, percent and the
// time so far, redrawn in place and ended by a summary line. Silent when
// stderr is not a terminal or when asked to be quiet, so that logs and pipes
// get nothing of it.
#pragma once

#include <chrono>
#include <cstdint>

struct ProgressLine {
    bool shown = false;
    const char* subject = nullptr; // named in the summary line
    uint64_t totalBytes = 0;
    uint64_t totalFiles = 0;
    uint64_t doneBytes = 0;
    uint64_t doneFiles = 0;
    std::chrono::steady_clock::time_point started;
    std::chrono::steady_clock::time_point lastDrawn;
};

// Starts the line for work of totalBytes in totalFiles; shown only when
// stderr is a terminal and quiet is false. subject must outlive the line.
void StartProgress(ProgressLine* line, const char* subject, uint64_t totalBytes,
                   uint64_t totalFiles, bool quiet);

// Counts work done; redraws at most ten times a second.
void AdvanceProgress(ProgressLine* line, uint64_t bytes, uint64_t files);

// Clears the line so that another line can be printed; the next advance
// draws it again below.
void ClearProgress(ProgressLine* line);

// Replaces the line by the summary; with succeeded false the line is only
// cleared, and the error message that follows stands alone.
void FinishProgress(ProgressLine* line, bool succeeded);
