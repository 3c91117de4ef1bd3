// Pictures of windows as they are on the screen.
#pragma once

#include <windows.h>

#include <string>

// Waits until the window has stopped changing on the screen (at most a few seconds).
bool WaitUntilPainted(HWND hwnd);
// Saves what the screen shows of the window's rectangle as a 24-bit BMP file, once it has stopped
// changing (at most a few seconds).
bool SaveWindowPicture(HWND hwnd, const std::wstring& path);
