// Opening the three wizards. Each creates all its pages at once, hidden, links them and shows the
// first. standalone: the wizard is the program's only window and closing it ends the program.
#pragma once

#include <windows.h>

#include <string>

HRESULT StartCreateWizard(const wchar_t* path, int standalone);
HRESULT StartMountWizard(const wchar_t* path, int standalone);
HRESULT StartUnmountWizard(const wchar_t* drive, int standalone);

// Where a new disk goes by default: a free "My Virtual Disk.zel" name in the user's documents.
std::wstring DefaultNewDiskPath();
