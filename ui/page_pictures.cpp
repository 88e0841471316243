// Registry of the pictures drawn on the pages.
#include "ui/page_pictures.h"

#include <cstdio>
#include <cstring>
#include <list>
#include <memory>
#include <vector>

namespace {

constexpr int kHimetricPerInch = 2540;

struct PictureEntry {
    DecodedPicture image;
    int x;
    int y;
    HWND window;
};

// Newest first; lives for the whole run.
std::list<PictureEntry> PictureRegistry;

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};

bool ReadWholeFile(const char* path, std::vector<unsigned char>* bytes) {
    std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path, "rb"));
    if (!file || std::fseek(file.get(), 0, SEEK_END) != 0) {
        return false;
    }
    long size = std::ftell(file.get());
    if (size <= 0 || std::fseek(file.get(), 0, SEEK_SET) != 0) {
        return false;
    }
    bytes->resize(static_cast<size_t>(size));
    return std::fread(bytes->data(), 1, bytes->size(), file.get()) == bytes->size();
}

// A stream that owns a movable copy of the bytes; null on failure.
IStream* CreateStreamOnCopy(const void* bytes, size_t size) {
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, size);
    if (memory == nullptr) {
        return nullptr;
    }
    void* target = GlobalLock(memory);
    if (target == nullptr) {
        GlobalFree(memory);
        return nullptr;
    }
    std::memcpy(target, bytes, size);
    GlobalUnlock(memory);
    IStream* stream = nullptr;
    if (FAILED(CreateStreamOnHGlobal(memory, TRUE, &stream))) {
        GlobalFree(memory);
        return nullptr;
    }
    return stream;
}

} // namespace

DecodedPicture LoadPictureFromMemory(HWND window, const void* bytes, size_t size) {
    DecodedPicture result = {};
    if (size == 0 || size > MAXLONG) {
        return result;
    }
    IStream* stream = CreateStreamOnCopy(bytes, size);
    if (stream == nullptr) {
        return result;
    }
    IPicture* picture = nullptr;
    HRESULT decoded =
        OleLoadPicture(stream, 0, FALSE, IID_IPicture, reinterpret_cast<void**>(&picture));
    stream->Release();
    if (FAILED(decoded) || picture == nullptr) {
        return result;
    }
    OLE_XSIZE_HIMETRIC width = 0;
    OLE_YSIZE_HIMETRIC height = 0;
    picture->get_Width(&width);
    picture->get_Height(&height);
    // Both sizes follow the horizontal resolution, as the pictures are drawn.
    HDC dc = GetDC(window);
    int pixelsPerInch = GetDeviceCaps(dc, LOGPIXELSX);
    ReleaseDC(window, dc);
    result.picture = picture;
    result.widthHimetric = width;
    result.heightHimetric = height;
    result.widthPx = MulDiv(pixelsPerInch, width, kHimetricPerInch);
    result.heightPx = MulDiv(pixelsPerInch, height, kHimetricPerInch);
    return result;
}

void RegisterPagePicture(HWND window, const char* path, int x, int y) {
    std::vector<unsigned char> bytes;
    if (!ReadWholeFile(path, &bytes)) {
        return;
    }
    DecodedPicture image = LoadPictureFromMemory(window, bytes.data(), bytes.size());
    if (image.picture == nullptr) {
        return;
    }
    PictureRegistry.push_front(PictureEntry{image, x, y, window});
    HDC dc = GetDC(window);
    PaintPagePictures(window, dc);
    ReleaseDC(window, dc);
}

void PaintPagePictures(HWND window, HDC dc) {
    for (const PictureEntry& entry : PictureRegistry) {
        if (entry.window != window) {
            continue;
        }
        // A bottom-up destination shows the HIMETRIC source upright.
        const DecodedPicture& image = entry.image;
        image.picture->Render(dc, entry.x, entry.y + image.heightPx, image.widthPx, -image.heightPx,
                              0, 0, image.widthHimetric, image.heightHimetric, nullptr);
    }
}

int ReleasePagePictures(HWND window) {
    int visited = 0;
    for (auto entry = PictureRegistry.begin(); entry != PictureRegistry.end(); ++visited) {
        if (entry->window == window) {
            entry->image.picture->Release();
            entry = PictureRegistry.erase(entry);
        } else {
            ++entry;
        }
    }
    return visited;
}
