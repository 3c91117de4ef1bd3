// Placing top-level windows.
#include "framework/window_placement.h"

namespace {

RECT WorkAreaOf(HWND hWnd) {
  MONITORINFO info{};
  info.cbSize = sizeof info;
  HMONITOR monitor = ::MonitorFromWindow(hWnd, MONITOR_DEFAULTTONEAREST);
  if (monitor != nullptr && ::GetMonitorInfoW(monitor, &info)) return info.rcWork;
  RECT area{};
  ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
  return area;
}

// Moves the window so that its centre is over `centre`, with the whole window inside `area`
// where it fits (otherwise its top-left corner stays visible).
void PlaceCentred(HWND hWnd, POINT centre, const RECT& area) {
  RECT rect{};
  ::GetWindowRect(hWnd, &rect);
  const LONG width = rect.right - rect.left;
  const LONG height = rect.bottom - rect.top;
  LONG left = centre.x - width / 2;
  LONG top = centre.y - height / 2;
  if (left + width > area.right) left = area.right - width;
  if (top + height > area.bottom) top = area.bottom - height;
  if (left < area.left) left = area.left;
  if (top < area.top) top = area.top;
  ::SetWindowPos(hWnd, nullptr, left, top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

}  // namespace

void CenterInWorkArea(HWND hWnd) {
  const RECT area = WorkAreaOf(hWnd);
  PlaceCentred(hWnd, {(area.left + area.right) / 2, (area.top + area.bottom) / 2}, area);
}

void CenterOverWindow(HWND hWnd, HWND hWndOver) {
  RECT over{};
  if (hWndOver == nullptr || !::GetWindowRect(hWndOver, &over)) {
    CenterInWorkArea(hWnd);
    return;
  }
  PlaceCentred(hWnd, {(over.left + over.right) / 2, (over.top + over.bottom) / 2}, WorkAreaOf(hWnd));
}
