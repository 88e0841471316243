// The frame every wizard page shares.
#include "ui/page_frame.h"

#include <cstdio>
#include <cstring>

#include "resources/resource_ids.h"
#include "ui/page_common.h"
#include "ui/page_pictures.h"

namespace {

// This file is compiled for code page 1252, like the string table.
const char kCancelCaption[] = "Abbrechen";
const char kCancelQuestion[] =
    "Setup wurde noch nicht vollständig durchgeführt. Wenn Sie Setup nun beenden, wird die "
    "Software nicht korrekt installiert werden.\n\nMöchten Sie Setup nun wirklich abbrechen?";
const char kAboutText[] = "Tolvanex Setup 1.0\n\n"
                          "Installations-Assistent für Windows.\n\n"
                          "© 2024 Tolvanex-Projekt. Alle Rechte vorbehalten.";

constexpr int kStringLimit = 512; // 511 characters and the terminator
constexpr int kTopPictureLeft = 384;

HINSTANCE resources = nullptr;

char* CopyToNewString(const char* text) {
    size_t size = std::strlen(text) + 1;
    char* copy = new char[size];
    std::memcpy(copy, text, size);
    return copy;
}

void SetPageIcons(HWND page) {
    HANDLE small =
        LoadImageA(resources, MAKEINTRESOURCEA(IDI_PROGRAM), IMAGE_ICON,
                   GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), LR_SHARED);
    HICON big = LoadIconA(resources, MAKEINTRESOURCEA(IDI_PROGRAM));
    SendMessageA(page, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(small));
    SendMessageA(page, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(big));
}

void PaintPage(HWND page) {
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(page, &paint);
    PaintPagePictures(page, dc);
    EndPaint(page, &paint);
}

} // namespace

void CentreOnDesktop(HWND window) {
    RECT own;
    RECT desktop;
    GetWindowRect(window, &own);
    GetWindowRect(GetDesktopWindow(), &desktop);
    int left = ((desktop.right - desktop.left) - (own.right - own.left)) / 2;
    int top = ((desktop.bottom - desktop.top) - (own.bottom - own.top)) / 2;
    SetWindowPos(window, nullptr, left, top, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
}

bool ConfirmCancel() {
    return MessageBoxA(GetFocus(), kCancelQuestion, kCancelCaption, MB_YESNO | MB_ICONQUESTION) ==
           IDYES;
}

void AddInfoMenuEntry(HWND window) {
    HMENU menu = GetSystemMenu(window, FALSE);
    char* entry = LoadResourceString(IDS_INFO);
    AppendMenuA(menu, MF_SEPARATOR, 0, nullptr);
    AppendMenuA(menu, MF_STRING, IDM_INFO, entry);
    delete[] entry;
}

void ShowAboutBox(HWND owner) {
    char* caption = LoadResourceString(IDS_INFO);
    MSGBOXPARAMSA box = {};
    box.cbSize = sizeof box;
    box.hwndOwner = owner;
    box.hInstance = resources;
    box.lpszText = kAboutText;
    box.lpszCaption = caption;
    box.dwStyle = MB_USERICON | MB_OK;
    box.lpszIcon = MAKEINTRESOURCEA(IDI_PROGRAM);
    MessageBoxIndirectA(&box);
    delete[] caption;
}

char* FormatWithString(const char* format, const char* text) {
    int length = std::snprintf(nullptr, 0, format, text);
    if (length < 0) {
        return CopyToNewString("");
    }
    char* result = new char[static_cast<size_t>(length) + 1];
    std::snprintf(result, static_cast<size_t>(length) + 1, format, text);
    return result;
}

char* LoadResourceString(UINT id) {
    char text[kStringLimit];
    if (LoadStringA(resources, id, text, kStringLimit) <= 0) {
        text[0] = '\0';
    }
    return CopyToNewString(text);
}

void SetPageResources(HINSTANCE instance) {
    resources = instance;
}

HINSTANCE PageResources() {
    return resources;
}

void OpenPage(HWND page, LPARAM context, const PageFrame& frame, PagePicture picture) {
    SetWindowLongPtrA(page, DWLP_USER, context);
    AddInfoMenuEntry(page);
    CentreOnDesktop(page);
    SetPageIcons(page);
    if (picture == PagePicture::Left) {
        RegisterPagePicture(page, frame.leftPicturePath, 0, 0);
    } else {
        RegisterPagePicture(page, frame.topPicturePath, kTopPictureLeft, 0);
    }
}

void ApplyTitleFont(HWND page, const PageFrame& frame) {
    SendDlgItemMessageA(page, IDC_TITLE, WM_SETFONT, reinterpret_cast<WPARAM>(frame.titleFont),
                        TRUE);
}

void SetTextWithTitle(HWND page, int controlId, UINT formatId, const PageFrame& frame) {
    char* format = LoadResourceString(formatId);
    char* text = FormatWithString(format, frame.applicationTitle);
    SetDlgItemTextA(page, controlId, text);
    delete[] text;
    delete[] format;
}

void EndPageOnButton(HWND page, int controlId) {
    switch (controlId) {
    case IDC_NEXT:
    case IDC_BACK:
        EndDialog(page, controlId);
        break;
    case IDC_CANCEL:
        if (ConfirmCancel()) {
            EndDialog(page, IDC_CANCEL);
        }
        break;
    default:
        break;
    }
}

bool IsAnyControlWhite(int) {
    return true;
}

bool IsHeaderControl(int controlId) {
    return controlId == IDC_TITLE || controlId == IDC_SUBTITLE || controlId == IDC_PANEL;
}

INT_PTR HandleFrameMessage(HWND page, UINT message, WPARAM wParam, LPARAM lParam,
                           WhiteControlTest isWhite) {
    switch (message) {
    case WM_PAINT:
        PaintPage(page);
        return TRUE;
    case WM_SYSCOMMAND:
        if (LOWORD(wParam) == IDM_INFO) {
            ShowAboutBox(page);
        }
        return FALSE; // the system's own handling goes on
    case WM_CTLCOLORSTATIC:
        // The stock brush is white and never needs releasing.
        if (isWhite(GetDlgCtrlID(reinterpret_cast<HWND>(lParam)))) {
            return reinterpret_cast<INT_PTR>(GetStockObject(WHITE_BRUSH));
        }
        return FALSE;
    case WM_DESTROY:
        // A later window may get the same handle; it must not show these.
        ReleasePagePictures(page);
        return FALSE;
    default:
        return FALSE;
    }
}

INT_PTR CALLBACK PreparingDialogProc(HWND dialog, UINT message, WPARAM, LPARAM) {
    if (message != WM_INITDIALOG) {
        return FALSE;
    }
    CentreOnDesktop(dialog);
    HICON icon = LoadIconA(resources, MAKEINTRESOURCEA(IDI_PROGRAM));
    SendMessageA(dialog, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));
    SendMessageA(dialog, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon));
    return TRUE;
}
