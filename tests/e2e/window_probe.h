// What the window probe measures inside the program: a DLL that the test hooks into the
// program's window thread, where it reads what only that process can (control fonts, icons,
// the program's DPI and its awareness of it) and leaves the figures in shared memory.
#pragma once

#include <windows.h>

// The hook procedure the DLL exports (WH_CALLWNDPROC), and the message it answers: sent to a
// top-level window of the program, it measures that window into the shared memory below.
constexpr char kProbeHookName[] = "WindowProbeHook";
constexpr wchar_t kProbeMessageName[] = L"LockvaleWindowProbe";
constexpr wchar_t kProbeMemoryName[] = L"LockvaleWindowProbeMeasures";

struct ControlMeasures {
  int id;
  wchar_t className[32];
  wchar_t text[128];
  DWORD style;
  SIZE client;
  LOGFONTW font;    // what it draws its text with: its WM_GETFONT font, or the system font
  SIZE textExtent;  // DrawText DT_CALCRECT of its text in that font: statics word-wrapped at
                    // their width as they draw it, anything else on one line
  SIZE image;       // the icon it shows (BM_GETIMAGE, STM_GETICON); 0 x 0 without one
};

struct WindowMeasures {
  BOOL measured;     // set by the probe once it has filled in the rest
  int dpi;           // the screen's LOGPIXELSY as the program sees it
  int dpiAwareness;  // of its thread: 0 unaware, 1 system, 2 per monitor; -1 unknown
  int iconSize;      // SM_CXICON and SM_CXSMICON as the program sees them
  int smallIconSize;
  int checkBoxSize;  // SM_CXMENUCHECK: the box a check box draws left of its text
  SIZE bigIcon;      // the window's own icons (WM_GETICON)
  SIZE smallIcon;
  int count;
  ControlMeasures controls[40];
};
