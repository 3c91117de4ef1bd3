// The window probe DLL: hooked into the program's window thread by a test, it measures a
// window of the program from inside on the probe message (see window_probe.h).
#include "tests/e2e/window_probe.h"

namespace {

SIZE IconSize(HICON icon) {
  SIZE size{};
  ICONINFO info{};
  if (icon == nullptr || !GetIconInfo(icon, &info)) return size;
  BITMAP bitmap{};
  if (info.hbmColor != nullptr && GetObjectW(info.hbmColor, sizeof bitmap, &bitmap) != 0) {
    size = {bitmap.bmWidth, bitmap.bmHeight};
  } else if (info.hbmMask != nullptr && GetObjectW(info.hbmMask, sizeof bitmap, &bitmap) != 0) {
    size = {bitmap.bmWidth, bitmap.bmHeight / 2};  // a monochrome icon: mask above image
  }
  if (info.hbmColor != nullptr) DeleteObject(info.hbmColor);
  if (info.hbmMask != nullptr) DeleteObject(info.hbmMask);
  return size;
}

// The awareness of the DPI the window's thread runs with, through functions of Windows 10 that
// Wine has as well. (Wine 8 answers for a window only when it ignores what programs declare.)
int DpiAwareness() {
  using ThreadContextFn = HANDLE(WINAPI*)();
  using AwarenessFn = int(WINAPI*)(HANDLE);
  HMODULE user32 = GetModuleHandleW(L"user32.dll");
  auto threadContext = reinterpret_cast<ThreadContextFn>(
      reinterpret_cast<void*>(GetProcAddress(user32, "GetThreadDpiAwarenessContext")));
  auto awareness = reinterpret_cast<AwarenessFn>(
      reinterpret_cast<void*>(GetProcAddress(user32, "GetAwarenessFromDpiAwarenessContext")));
  if (threadContext == nullptr || awareness == nullptr) return -1;
  return awareness(threadContext());
}

UINT TextFormat(const wchar_t* className, DWORD style) {
  if (lstrcmpiW(className, L"Static") != 0) return DT_SINGLELINE;
  UINT format = DT_WORDBREAK | DT_EXPANDTABS;
  if ((style & SS_NOPREFIX) != 0) format |= DT_NOPREFIX;
  if ((style & SS_TYPEMASK) == SS_LEFTNOWORDWRAP) format = DT_SINGLELINE | DT_EXPANDTABS;
  return format;
}

void MeasureControl(HWND control, ControlMeasures& out) {
  out.id = GetDlgCtrlID(control);
  GetClassNameW(control, out.className, ARRAYSIZE(out.className));
  GetWindowTextW(control, out.text, ARRAYSIZE(out.text));
  out.style = static_cast<DWORD>(GetWindowLongPtrW(control, GWL_STYLE));
  RECT client{};
  GetClientRect(control, &client);
  out.client = {client.right, client.bottom};

  HDC dc = GetDC(control);
  HFONT font = reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0));
  if (font == nullptr) font = static_cast<HFONT>(GetStockObject(SYSTEM_FONT));
  GetObjectW(font, sizeof out.font, &out.font);
  HGDIOBJ old = SelectObject(dc, font);
  RECT needed = {0, 0, client.right, 0};
  DrawTextW(dc, out.text, -1, &needed, TextFormat(out.className, out.style) | DT_CALCRECT);
  out.textExtent = {needed.right - needed.left, needed.bottom - needed.top};
  SelectObject(dc, old);
  ReleaseDC(control, dc);

  HICON icon = nullptr;
  if (lstrcmpiW(out.className, L"Button") == 0) {
    icon = reinterpret_cast<HICON>(SendMessageW(control, BM_GETIMAGE, IMAGE_ICON, 0));
  } else if (lstrcmpiW(out.className, L"Static") == 0 && (out.style & SS_TYPEMASK) == SS_ICON) {
    icon = reinterpret_cast<HICON>(SendMessageW(control, STM_GETICON, 0, 0));
  }
  out.image = IconSize(icon);
}

void MeasureWindow(HWND hwnd) {
  HANDLE memory = OpenFileMappingW(FILE_MAP_WRITE, FALSE, kProbeMemoryName);
  if (memory == nullptr) return;
  auto* out = static_cast<WindowMeasures*>(MapViewOfFile(memory, FILE_MAP_WRITE, 0, 0, sizeof(WindowMeasures)));
  if (out != nullptr) {
    *out = WindowMeasures{};
    HDC screen = GetDC(nullptr);
    out->dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    out->dpiAwareness = DpiAwareness();
    out->iconSize = GetSystemMetrics(SM_CXICON);
    out->smallIconSize = GetSystemMetrics(SM_CXSMICON);
    out->checkBoxSize = GetSystemMetrics(SM_CXMENUCHECK);
    out->bigIcon = IconSize(reinterpret_cast<HICON>(SendMessageW(hwnd, WM_GETICON, ICON_BIG, 0)));
    out->smallIcon = IconSize(reinterpret_cast<HICON>(SendMessageW(hwnd, WM_GETICON, ICON_SMALL, 0)));
    for (HWND child = GetWindow(hwnd, GW_CHILD);
         child != nullptr && out->count < static_cast<int>(ARRAYSIZE(out->controls));
         child = GetWindow(child, GW_HWNDNEXT)) {
      MeasureControl(child, out->controls[out->count++]);
    }
    out->measured = TRUE;
    UnmapViewOfFile(out);
  }
  CloseHandle(memory);
}

}  // namespace

extern "C" __declspec(dllexport) LRESULT CALLBACK WindowProbeHook(int code, WPARAM wParam, LPARAM lParam) {
  static const UINT probeMessage = RegisterWindowMessageW(kProbeMessageName);
  const auto* message = reinterpret_cast<const CWPSTRUCT*>(lParam);
  if (code == HC_ACTION && message->message == probeMessage) MeasureWindow(message->hwnd);
  return CallNextHookEx(nullptr, code, wParam, lParam);
}
