// The server's type library: loaded from the component file itself, registered for the
// machine or, where the system offers it, for the current user.
#pragma once

#include <windows.h>

HRESULT RegisterOwnTypeLib(const wchar_t* modulePath, bool perUser);
// A library that is not registered is not an error: there is nothing left to remove.
HRESULT UnregisterOwnTypeLib(const wchar_t* modulePath, bool perUser);
