// MakeUniqueFileName on Windows.
#pragma once

#include <cstddef>

// buffer holds a folder path on entry and the unique path of `name` in it on return; it never
// receives more than capacity characters, NUL included. Always returns 0.
int MakeUniqueFileName(wchar_t* buffer, size_t capacity, const wchar_t* name);
