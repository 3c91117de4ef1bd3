// Functions of system DLLs that are looked up the first time they are wanted instead of being
// imported: the open-file dialog's library and the shell's load a good deal of code that the
// start window never needs, and a program that only mounts a disk should not pay for them.
#pragma once

#include <windows.h>

// The address of name in the DLL library (a bare file name such as L"comdlg32.dll"), loaded
// from the system folder only, so that no file beside the program can stand in for it; null
// when either is missing. The DLL stays loaded for the rest of the process.
FARPROC SystemProcAddress(const wchar_t* library, const char* name);

// SystemProcAddress as the function's own pointer type: Fn is decltype(&::TheFunction).
template <class Fn>
Fn SystemProc(const wchar_t* library, const char* name) {
  return reinterpret_cast<Fn>(reinterpret_cast<void*>(SystemProcAddress(library, name)));
}
