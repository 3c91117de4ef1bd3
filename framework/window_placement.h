// Placing top-level windows: centred in the work area of their monitor, or over another window.
#pragma once

#include <windows.h>

// Centres a window in the work area of the monitor nearest to it, kept inside that work area.
void CenterInWorkArea(HWND hWnd);
// Centres a window over another one (kept inside the work area); without one, in the work area.
void CenterOverWindow(HWND hWnd, HWND hWndOver);
