#include "tools/builder/entry_method_check.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "archive/archive_reader.h"

namespace {

// What a setup.exe from before the methods text reads.
constexpr char kMethodsBeforeMark[] = "tolvanex-reader-methods: 0 8;";
// The methods text is short; this much of the image behind its prefix holds it.
constexpr size_t kMarkReach = 64;

// The methods text in the first size bytes of the file, or the one of older
// programs.
std::string FindMethodsText(const char* path, int64_t size) {
    std::vector<char> image;
    FILE* file = fopen(path, "rb");
    if (file != nullptr && size > 0) {
        image.resize(static_cast<size_t>(size));
        image.resize(fread(image.data(), 1, image.size(), file));
    }
    if (file != nullptr) {
        fclose(file);
    }
    const char* prefixEnd = kReaderMethodsPrefix + strlen(kReaderMethodsPrefix);
    const auto at = std::search(image.begin(), image.end(), kReaderMethodsPrefix, prefixEnd);
    if (at == image.end()) {
        return kMethodsBeforeMark;
    }
    const size_t start = static_cast<size_t>(at - image.begin());
    return std::string(image.data() + start, std::min(kMarkReach, image.size() - start));
}

// "0 8 14" from the methods text, for the message.
std::string ListedMethods(const std::string& text) {
    const size_t begin = strlen(kReaderMethodsPrefix);
    const size_t end = text.find(';');
    std::string listed = text.substr(begin, end == std::string::npos ? 0 : end - begin);
    listed.erase(0, listed.find_first_not_of(' '));
    return listed;
}

} // namespace

int ReportUnreadableMethods(const char* path) {
    ArchiveReader* reader = OpenArchive(path);
    if (reader == nullptr) {
        return 0;
    }
    ArchiveInfo info{};
    GetArchiveInfo(reader, &info);
    if (info.bytesBeforeArchive <= 0) {
        CloseArchive(reader);
        return 0;
    }
    const std::string methods = FindMethodsText(path, info.bytesBeforeArchive);
    int unreadable = 0;
    for (int status = GoToFirstEntry(reader); status == ArchiveStatus::Ok;
         status = GoToNextEntry(reader)) {
        CentralEntryInfo entry{};
        char name[1024];
        if (GetCurrentEntryInfo(reader, &entry, name, sizeof name, nullptr, 0, nullptr, 0) !=
            ArchiveStatus::Ok) {
            break;
        }
        name[sizeof name - 1] = '\0';
        if (IsMethodListed(methods.data(), methods.size(), entry.method)) {
            continue;
        }
        fprintf(stderr,
                "%s: error: entry \"%s\" is compressed with method %u%s, which this installer's "
                "setup.exe cannot read (it reads methods %s): build it with a newer setup.exe or "
                "another --method [unreadable-method]\n",
                path, name, static_cast<unsigned>(entry.method),
                entry.method == 14 ? " (LZMA)" : "", ListedMethods(methods).c_str());
        ++unreadable;
    }
    CloseArchive(reader);
    return unreadable;
}
