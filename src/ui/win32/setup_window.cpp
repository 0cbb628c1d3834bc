// The setup window on Windows: a borderless popup maximised over the whole
// screen, behind every dialog and box of the run. It has no controls and
// takes no input; it paints its background (the stretched background
// bitmap, one colour, or a vertical gradient) and the product's title in
// large bold italic type at its top left.
#include "ui/setup_window.h"

#include "core/string.h"
#include "payload/fatal.h"
#include "payload/window_handles.h"
#include "platform/win32/system_library.h"
#include "platform/win32/windows.h"
#include "ui/gradient_bands.h"

namespace kova::ui {
namespace {

const char kClassName[] = "KVA Window Class";
// The module and lines the internal error names when the window cannot be
// made; support lines know these numbers.
const char kModule[] = "Install";
constexpr int kRegisterLine = 49;
constexpr int kCreateLine = 54;

constexpr int kTitlePoints = 26;
constexpr int kSmallestTitlePoints = 6;

using GradientFillFunction = BOOL(WINAPI*)(HDC, TRIVERTEX*, ULONG, void*, ULONG, ULONG);

// GradientFill lives in msimg32, which the stub does not import: it is
// looked up once, in the copy of the system directory, and the library is
// kept only when the function is there. Without it the bands are painted.
GradientFillFunction GradientFillOnce() {
  static bool looked = false;
  static GradientFillFunction function = nullptr;
  if (!looked) {
    looked = true;
    if (HMODULE library = platform::win32::LoadSystemLibrary("msimg32.dll")) {
      function = reinterpret_cast<GradientFillFunction>(
          reinterpret_cast<void*>(GetProcAddress(library, "GradientFill")));
      if (!function) FreeLibrary(library);
    }
  }
  return function;
}

struct BandTarget {
  HDC dc;
  LONG left, right;
};

void FillBand(void* context, i32 y, i32 bandHeight, u32 color) {
  auto* target = static_cast<BandTarget*>(context);
  RECT band = {target->left, y, target->right + 1, y + bandHeight};
  HBRUSH brush = CreateSolidBrush(color);
  FillRect(target->dc, &band, brush);
  DeleteObject(brush);
}

COLOR16 Component16(u32 color, int shift) { return static_cast<COLOR16>((color >> shift & 0xFF) << 8); }

void Gradient(HDC dc, u32 topColor, LONG left, LONG top, LONG right, LONG bottom, u32 bottomColor) {
  if (GradientFillFunction fill = GradientFillOnce()) {
    TRIVERTEX vertices[2] = {
        {left, top, Component16(topColor, 0), Component16(topColor, 8), Component16(topColor, 16), 0},
        {right, bottom, Component16(bottomColor, 0), Component16(bottomColor, 8), Component16(bottomColor, 16), 0},
    };
    GRADIENT_RECT joined = {0, 1};
    fill(dc, vertices, 2, &joined, 1, GRADIENT_FILL_RECT_V);
    return;
  }
  BandTarget target = {dc, left, right};
  PaintBands(topColor, bottomColor, top, bottom, FillBand, &target);
}

void EraseBackground(HWND window, HDC dc) {
  RECT client;
  GetClientRect(window, &client);
  const payload::SetupWindowStyle& style = payload::WindowStyle();
  DibBitmap& bitmap = BackgroundBitmap();
  if (!bitmap.IsEmpty()) {
    bitmap.Draw(dc, client.left, client.top, client.right, client.bottom, SRCCOPY);
  } else if (style.monoColor) {
    HBRUSH brush = CreateSolidBrush(style.topColor);
    FillRect(dc, &client, brush);
    DeleteObject(brush);
  } else {
    Gradient(dc, style.topColor, client.left, client.top, client.right, client.bottom, style.bottomColor);
  }
}

// The title's font: 26 points, less a point at a time while the title is as
// wide as the window or wider, down to 6 points, where it is clipped.
HFONT TitleFont(HDC dc, const core::String& title, LONG clientWidth) {
  int pixelsPerInch = GetDeviceCaps(dc, LOGPIXELSY);
  for (int points = kTitlePoints;; --points) {
    HFONT font = CreateFontA(-(pixelsPerInch * points / 72), 0, 0, 0, FW_BOLD, TRUE, FALSE, FALSE, DEFAULT_CHARSET,
                             OUT_TT_PRECIS, CLIP_DEFAULT_PRECIS, PROOF_QUALITY, 0, "Times New Roman");
    if (points <= kSmallestTitlePoints) return font;
    HGDIOBJ old = SelectObject(dc, font);
    SIZE extent = {};
    GetTextExtentPoint32A(dc, title.CStr(), static_cast<int>(title.Length()), &extent);
    SelectObject(dc, old);
    if (extent.cx < clientWidth) return font;
    DeleteObject(font);
  }
}

void PaintTitle(HWND window) {
  PAINTSTRUCT paint;
  HDC dc = BeginPaint(window, &paint);
  const payload::SetupWindowStyle& style = payload::WindowStyle();
  if (dc && !core::IsBlankText(style.displayTitle.CStr())) {
    RECT client;
    GetClientRect(window, &client);
    HFONT font = TitleFont(dc, style.displayTitle, client.right - client.left);
    HGDIOBJ old = SelectObject(dc, font);
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, style.titleColor);
    TextOutA(dc, 2, 0, style.displayTitle.CStr(), static_cast<int>(style.displayTitle.Length()));
    SelectObject(dc, old);
    DeleteObject(font);
  }
  EndPaint(window, &paint);
}

LRESULT CALLBACK SetupWindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_PAINT) {
    PaintTitle(window);
    return 0;
  }
  if (message == WM_ERASEBKGND) {
    EraseBackground(window, reinterpret_cast<HDC>(wParam));
    return 1;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

}  // namespace

void CreateSetupWindow() {
  static bool registered = false;
  auto instance = static_cast<HINSTANCE>(payload::Instance());
  if (!registered) {
    WNDCLASSA windowClass = {};
    windowClass.style = CS_HREDRAW | CS_VREDRAW;
    windowClass.lpfnWndProc = SetupWindowProcedure;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = kClassName;
    if (!RegisterClassA(&windowClass)) payload::InternalError(kModule, kRegisterLine);
    registered = true;
  }
  // Made at the screen's size rather than 0 x 0, which maximising turns
  // into the same rectangle on Windows: Wine never shows a window that was
  // made empty, however it is sized later.
  HWND window = CreateWindowExA(0, kClassName, "", WS_POPUP, 0, 0, GetSystemMetrics(SM_CXSCREEN),
                                GetSystemMetrics(SM_CYSCREEN), nullptr, nullptr, instance, nullptr);
  if (!window) payload::InternalError(kModule, kCreateLine);
  payload::SetSetupWindow(window);
  ShowWindow(window, SW_HIDE);
  ShowWindow(window, SW_MAXIMIZE);
}

void ShowTitle(const char* title) {
  core::String shown(title);  // title may be the stored title itself
  payload::WindowStyle().displayTitle = shown;
  if (HWND window = static_cast<HWND>(payload::SetupWindow())) InvalidateRect(window, nullptr, TRUE);
}

}  // namespace kova::ui
