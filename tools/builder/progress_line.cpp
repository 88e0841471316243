#include "tools/builder/progress_line.h"

#include <cstdio>

#ifdef _WIN32
#include <io.h>
#define isatty _isatty
#define fileno _fileno
#else
#include <unistd.h>
#endif

namespace {

using Clock = std::chrono::steady_clock;

double SecondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

void FormatBytes(uint64_t bytes, char (&text)[32]) {
    if (bytes < 10 * 1024) {
        snprintf(text, sizeof text, "%llu B", static_cast<unsigned long long>(bytes));
    } else if (bytes < 10ull * 1024 * 1024) {
        snprintf(text, sizeof text, "%.1f KiB", bytes / 1024.0);
    } else {
        snprintf(text, sizeof text, "%.1f MiB", bytes / (1024.0 * 1024.0));
    }
}

void Draw(ProgressLine* line) {
    char done[32];
    char total[32];
    FormatBytes(line->doneBytes, done);
    FormatBytes(line->totalBytes, total);
    const unsigned percent = line->totalBytes == 0
                                 ? 100u
                                 : static_cast<unsigned>(line->doneBytes * 100 / line->totalBytes);
    // "\r" and clearing to the end of the line keep it one line.
    fprintf(stderr, "\r%s of %s, %llu/%llu files, %u%%, %.1f s\x1b[K", done, total,
            static_cast<unsigned long long>(line->doneFiles),
            static_cast<unsigned long long>(line->totalFiles), percent,
            SecondsSince(line->started));
    fflush(stderr);
    line->lastDrawn = Clock::now();
}

} // namespace

void StartProgress(ProgressLine* line, const char* subject, uint64_t totalBytes,
                   uint64_t totalFiles, bool quiet) {
    *line = ProgressLine{};
    line->shown = !quiet && isatty(fileno(stderr)) != 0;
    line->subject = subject;
    line->totalBytes = totalBytes;
    line->totalFiles = totalFiles;
    line->started = Clock::now();
    if (line->shown) {
        Draw(line);
    }
}

void AdvanceProgress(ProgressLine* line, uint64_t bytes, uint64_t files) {
    line->doneBytes += bytes;
    line->doneFiles += files;
    if (line->shown && Clock::now() - line->lastDrawn >= std::chrono::milliseconds(100)) {
        Draw(line);
    }
}

void ClearProgress(ProgressLine* line) {
    if (line->shown) {
        fputs("\r\x1b[K", stderr);
        fflush(stderr);
        line->lastDrawn = Clock::time_point();
    }
}

void FinishProgress(ProgressLine* line, bool succeeded) {
    if (!line->shown) {
        return;
    }
    if (!succeeded) {
        fputs("\r\x1b[K", stderr);
    } else {
        char done[32];
        FormatBytes(line->doneBytes, done);
        fprintf(stderr, "\r%s: %llu files, %s in %.1f s\x1b[K\n", line->subject,
                static_cast<unsigned long long>(line->doneFiles), done,
                SecondsSince(line->started));
    }
    fflush(stderr);
    line->shown = false;
}
