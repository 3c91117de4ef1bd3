// Pictures of windows as they are on the screen.
#pragma once

#include <windows.h>

#include <string>

// Saves what the screen shows of the window's rectangle as a 24-bit BMP file.
bool SaveWindowPicture(HWND hwnd, const std::wstring& path);
