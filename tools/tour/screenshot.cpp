// Pictures of windows as they are on the screen.
#include "tools/tour/screenshot.h"

#include <utility>
#include <vector>

namespace {

// A window that has just come up, or a button that has just taken the focus, may still be
// painting: the picture is taken once the window has looked the same for a few captures in a row.
constexpr int kSteadyCaptures = 3;
constexpr DWORD kCaptureIntervalMs = 100;
constexpr DWORD kSteadyTimeoutMs = 5000;

struct Picture {
  BITMAPINFOHEADER header{};
  std::vector<char> bits;
};

// What the screen shows of the window's rectangle, as 24-bit rows from the bottom up.
bool Capture(HWND hwnd, Picture& picture) {
  RECT rect{};
  if (!GetWindowRect(hwnd, &rect)) return false;
  const int width = rect.right - rect.left;
  const int height = rect.bottom - rect.top;
  if (width <= 0 || height <= 0) return false;

  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = height;  // bottom-up, as BMP files store rows
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 24;
  info.bmiHeader.biCompression = BI_RGB;
  const DWORD stride = (static_cast<DWORD>(width) * 3 + 3) & ~3u;
  info.bmiHeader.biSizeImage = stride * static_cast<DWORD>(height);

  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (bitmap != nullptr) {
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, width, height, screen, rect.left, rect.top, SRCCOPY);
    GdiFlush();
    SelectObject(memory, old);
    picture.header = info.bmiHeader;
    picture.bits.assign(static_cast<const char*>(bits), static_cast<const char*>(bits) + info.bmiHeader.biSizeImage);
    DeleteObject(bitmap);
  }
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  return bitmap != nullptr;
}

bool Write(const Picture& picture, const std::wstring& path) {
  BITMAPFILEHEADER header{};
  header.bfType = 0x4D42;  // "BM"
  header.bfOffBits = sizeof header + sizeof picture.header;
  header.bfSize = header.bfOffBits + picture.header.biSizeImage;
  HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  const bool saved = WriteFile(file, &header, sizeof header, &written, nullptr) &&
                     WriteFile(file, &picture.header, sizeof picture.header, &written, nullptr) &&
                     WriteFile(file, picture.bits.data(), picture.header.biSizeImage, &written, nullptr);
  CloseHandle(file);
  return saved;
}

// Captures the window until it has looked the same a few times in a row (or the time is up);
// the last capture is in picture.
bool CaptureSteady(HWND hwnd, Picture& picture) {
  Picture next;
  if (!Capture(hwnd, picture)) return false;
  const DWORD start = GetTickCount();
  for (int steady = 0; steady < kSteadyCaptures && GetTickCount() - start < kSteadyTimeoutMs;) {
    Sleep(kCaptureIntervalMs);
    if (!Capture(hwnd, next)) return false;
    steady = next.bits == picture.bits ? steady + 1 : 0;
    std::swap(picture, next);
  }
  return true;
}

}  // namespace

bool WaitUntilPainted(HWND hwnd) {
  Picture picture;
  return CaptureSteady(hwnd, picture);
}

bool SaveWindowPicture(HWND hwnd, const std::wstring& path) {
  Picture picture;
  return CaptureSteady(hwnd, picture) && Write(picture, path);
}
