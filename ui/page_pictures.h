// The pictures drawn on the pages (left.jpg, top.jpg): a registry of decoded
// pictures, each tied to the window that shows it at a client position, drawn
// at its natural size whenever that window paints.
#pragma once

#include <windows.h>
#include <ocidl.h>
#include <olectl.h>

#include <cstddef>

// A decoded picture and its size, in pixels and in HIMETRIC (0.01 mm).
struct DecodedPicture {
    IPicture* picture; // owned by the caller; null when decoding failed
    LONG widthPx;
    LONG heightPx;
    LONG widthHimetric;
    LONG heightHimetric;
};

// Decodes an image (JPEG, BMP, GIF, ...) held in memory; the pixel size
// follows the window's horizontal resolution. picture is null on failure.
DecodedPicture LoadPictureFromMemory(HWND window, const void* bytes, size_t size);

// Reads the picture file, registers it for the window at client (x, y) and
// draws it at once. A missing, unreadable or undecodable file registers
// nothing.
void RegisterPagePicture(HWND window, const char* path, int x, int y);

// Draws every picture registered for the window into the device context.
void PaintPagePictures(HWND window, HDC dc);

// Removes and releases every picture of the window; returns how many entries
// it visited.
int ReleasePagePictures(HWND window);
