// The picture registry: decoding, upright drawing at the registered position,
// and releasing a page's pictures when the page goes away.
#include "ui/page_pictures.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "resources/resource_ids.h"
#include "tests/ui/ui_test_support.h"
#include "ui/page_frame.h"

namespace {

constexpr COLORREF kTopColour = RGB(255, 0, 0);
constexpr COLORREF kBottomColour = RGB(0, 0, 255);
constexpr int kSide = 8;

// An 8 x 8 bitmap file, red in its upper half and blue in its lower half.
std::vector<unsigned char> TwoColourBitmap() {
    std::vector<unsigned char> file(54 + kSide * kSide * 3, 0);
    auto put32 = [&](size_t at, unsigned value) {
        for (int i = 0; i < 4; ++i) {
            file[at + i] = static_cast<unsigned char>(value >> (8 * i));
        }
    };
    file[0] = 'B';
    file[1] = 'M';
    put32(2, static_cast<unsigned>(file.size()));
    put32(10, 54);
    put32(14, 40);
    put32(18, kSide);
    put32(22, kSide); // bottom-up rows
    file[26] = 1;
    file[28] = 24;
    for (int row = 0; row < kSide; ++row) {
        bool lowerHalf = row < kSide / 2; // stored rows start at the bottom
        for (int column = 0; column < kSide; ++column) {
            size_t at = 54 + (row * kSide + column) * 3;
            file[at] = lowerHalf ? 255 : 0;     // blue
            file[at + 2] = lowerHalf ? 0 : 255; // red
        }
    }
    return file;
}

std::string WriteTempFile(const std::vector<unsigned char>& bytes) {
    char directory[MAX_PATH];
    char path[MAX_PATH];
    GetTempPathA(MAX_PATH, directory);
    GetTempFileNameA(directory, "pic", 0, path);
    std::FILE* file = std::fopen(path, "wb");
    std::fwrite(bytes.data(), 1, bytes.size(), file);
    std::fclose(file);
    return path;
}

class PagePictures : public ::testing::Test {
protected:
    void SetUp() override {
        PrepareRunForPages();
        window = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 100, 100, nullptr, nullptr,
                                 nullptr, nullptr);
        bitmapPath = WriteTempFile(TwoColourBitmap());
        screen = GetDC(nullptr);
        canvas = CreateCompatibleDC(screen);
        surface = CreateCompatibleBitmap(screen, 64, 64);
        previous = SelectObject(canvas, surface);
    }
    void TearDown() override {
        ReleasePagePictures(window);
        SelectObject(canvas, previous);
        DeleteObject(surface);
        DeleteDC(canvas);
        ReleaseDC(nullptr, screen);
        DestroyWindow(window);
        DeleteFileA(bitmapPath.c_str());
        ReleaseRunForPages();
    }
    // Paints the window's pictures onto a white canvas.
    void PaintOnWhite() {
        RECT all = {0, 0, 64, 64};
        FillRect(canvas, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
        PaintPagePictures(window, canvas);
    }
    // Entries in the whole registry: releasing a window that has none visits
    // every entry and removes nothing.
    static int RegisteredCount() { return ReleasePagePictures(HWND_BROADCAST); }

    HWND window = nullptr;
    std::string bitmapPath;
    HDC screen = nullptr;
    HDC canvas = nullptr;
    HBITMAP surface = nullptr;
    HGDIOBJ previous = nullptr;
};

TEST_F(PagePictures, DrawsUprightAtItsPositionAndNaturalSize) {
    RegisterPagePicture(window, bitmapPath.c_str(), 10, 20);
    PaintOnWhite();
    // Rows 20 to 27; a mirrored blit may round the edge rows by one pixel.
    EXPECT_EQ(GetPixel(canvas, 10, 21), kTopColour);
    EXPECT_EQ(GetPixel(canvas, 17, 22), kTopColour);
    EXPECT_EQ(GetPixel(canvas, 10, 25), kBottomColour);
    EXPECT_EQ(GetPixel(canvas, 17, 26), kBottomColour);
    EXPECT_EQ(GetPixel(canvas, 9, 22), RGB(255, 255, 255));
    EXPECT_EQ(GetPixel(canvas, 18, 22), RGB(255, 255, 255));
    EXPECT_EQ(GetPixel(canvas, 10, 18), RGB(255, 255, 255));
    EXPECT_EQ(GetPixel(canvas, 10, 29), RGB(255, 255, 255));
}

TEST_F(PagePictures, DecodesWithPixelAndHimetricSizes) {
    std::vector<unsigned char> bytes = TwoColourBitmap();
    DecodedPicture image = LoadPictureFromMemory(window, bytes.data(), bytes.size());
    ASSERT_NE(image.picture, nullptr);
    HDC dc = GetDC(window);
    int pixelsPerInch = GetDeviceCaps(dc, LOGPIXELSX);
    ReleaseDC(window, dc);
    EXPECT_EQ(image.widthPx, MulDiv(pixelsPerInch, image.widthHimetric, 2540));
    EXPECT_EQ(image.heightPx, MulDiv(pixelsPerInch, image.heightHimetric, 2540));
    EXPECT_EQ(image.widthPx, kSide);
    image.picture->Release();
}

TEST_F(PagePictures, UnusableInputRegistersNothing) {
    const std::string garbage = WriteTempFile({'n', 'o', ' ', 'p', 'i', 'c', 't', 'u', 'r', 'e'});
    const std::string empty = WriteTempFile({});
    for (const std::string& path : {garbage, empty, std::string("Z:\\no\\such\\file.jpg")}) {
        RegisterPagePicture(window, path.c_str(), 0, 0);
        EXPECT_EQ(RegisteredCount(), 0) << path;
    }
    DeleteFileA(garbage.c_str());
    DeleteFileA(empty.c_str());
    std::vector<unsigned char> truncated = TwoColourBitmap();
    truncated.resize(20);
    EXPECT_EQ(LoadPictureFromMemory(window, truncated.data(), truncated.size()).picture, nullptr);
    EXPECT_EQ(LoadPictureFromMemory(window, truncated.data(), 0).picture, nullptr);
}

TEST_F(PagePictures, ReleaseRemovesOnlyThatWindowsEntries) {
    HWND other = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr,
                                 nullptr);
    RegisterPagePicture(window, bitmapPath.c_str(), 0, 0);
    RegisterPagePicture(other, bitmapPath.c_str(), 0, 0);
    RegisterPagePicture(window, bitmapPath.c_str(), 30, 30);
    EXPECT_EQ(ReleasePagePictures(window), 3);
    EXPECT_EQ(RegisteredCount(), 1);
    PaintOnWhite();
    EXPECT_EQ(GetPixel(canvas, 0, 0), RGB(255, 255, 255));
    EXPECT_EQ(ReleasePagePictures(other), 1);
    EXPECT_EQ(RegisteredCount(), 0);
    DestroyWindow(other);
}

TEST_F(PagePictures, ClosedPageLeavesNothingToDrawIntoLaterWindows) {
    std::snprintf(::Run.LeftPicturePath, sizeof ::Run.LeftPicturePath, "%s", bitmapPath.c_str());
    std::snprintf(::Run.TopPicturePath, sizeof ::Run.TopPicturePath, "%s", bitmapPath.c_str());
    for (int templateId : {IDD_WELCOME_PAGE, IDD_READY_PAGE}) {
        HWND page =
            CreateDialogParamA(::Run.Instance, MAKEINTRESOURCEA(templateId), nullptr,
                               templateId == IDD_WELCOME_PAGE ? WelcomePageProc : ReadyPageProc,
                               PageParameter(templateId));
        EXPECT_EQ(RegisteredCount(), 1) << templateId;
        DestroyWindow(page);
        EXPECT_EQ(RegisteredCount(), 0) << templateId;
    }
}

} // namespace
