// MakeUniqueFileName on Windows.
#pragma once

#include <cstddef>

// buffer holds a folder path on entry and the unique path of `name` in it on return, or empty
// text when that path and its NUL do not fit in capacity characters. Always returns 0.
int MakeUniqueFileName(wchar_t* buffer, size_t capacity, const wchar_t* name);
