// The screen's scale: pixel sizes given for a 96-DPI screen, at the DPI the system runs at.
#include "framework/display_scale.h"

namespace {

int ReadScreenDpi() {
  // The screen's logical pixels per inch, as every Windows since XP reports them; newer ways of
  // asking give the same number to a program that declares itself aware of the system's DPI.
  HDC screen = ::GetDC(nullptr);
  const int dpi = screen != nullptr ? ::GetDeviceCaps(screen, LOGPIXELSY) : 0;
  if (screen != nullptr) ::ReleaseDC(nullptr, screen);
  return dpi > 0 ? dpi : kBaseDpi;
}

}  // namespace

int SystemDpi() {
  static const int dpi = ReadScreenDpi();
  return dpi;
}

HFONT CreateScaledFont(const wchar_t* face, int heightAt96, int weight) {
  const int height = ::MulDiv(heightAt96, SystemDpi(), kBaseDpi);
  return ::CreateFontW(height, 0, 0, 0, weight, FALSE, FALSE, FALSE, ANSI_CHARSET, 0, 0, 0, 0, face);
}
