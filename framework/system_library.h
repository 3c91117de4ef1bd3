// Where the program's DLLs come from: functions of system DLLs that are looked up the first time
// they are wanted instead of being imported (the open-file dialog's library and the shell's load
// a good deal of code that the start window never needs, and a program that only mounts a disk
// should not pay for them), and the search for the DLLs that the system loads on its behalf.
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

// Narrows the process's DLL search to the system folder, as far as the system allows: the current
// folder goes everywhere, the program's own folder and PATH where SetDefaultDllDirectories exists
// (Windows 8, and Vista and 7 with its update). For a program, first thing at start; never in a
// DLL, which must not change such settings of the process that loaded it.
void RestrictDllSearch();
