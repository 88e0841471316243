#include "tools/builder/entry_method_check.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "archive/archive_reader.h"
#include "tools/builder/terminal_text.h"

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

void CheckEntryMethods(const char* path, std::vector<Finding>* findings) {
    ArchiveReader* reader = OpenArchive(path);
    if (reader == nullptr) {
        return;
    }
    ArchiveInfo info{};
    GetArchiveInfo(reader, &info);
    if (info.bytesBeforeArchive <= 0) {
        CloseArchive(reader);
        return;
    }
    const std::string methods = FindMethodsText(path, info.bytesBeforeArchive);
    const char* name = "unreadable-method";
    for (int status = GoToFirstEntry(reader); status == ArchiveStatus::Ok;
         status = GoToNextEntry(reader)) {
        CentralEntryInfo entry{};
        char entryName[1024];
        if (GetCurrentEntryInfo(reader, &entry, entryName, sizeof entryName, nullptr, 0, nullptr,
                                0) != ArchiveStatus::Ok) {
            break;
        }
        entryName[sizeof entryName - 1] = '\0';
        if (IsMethodListed(methods.data(), methods.size(), entry.method)) {
            continue;
        }
        findings->push_back(
            {path, 0, FindCheck(name)->severity,
             "entry \"" + ShownText(entryName) + "\" is compressed with method " +
                 std::to_string(entry.method) + (entry.method == 14 ? " (LZMA)" : "") +
                 ", which this installer's setup.exe cannot read (it reads methods " +
                 ShownText(ListedMethods(methods)) +
                 "): build it with a newer setup.exe or another --method",
             name});
    }
    CloseArchive(reader);
}
