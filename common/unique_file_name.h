// A name for a new file in a folder that is not taken yet: the name itself, or the name with
// a number from 1 to 99 before its extension.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

inline constexpr char16_t kDefaultDiskFileName[] = u"My Virtual Disk.zel";

// folder joined with name (a backslash between them unless folder is empty or ends with one);
// while that path exists, "stem k.ext" for k = 1..99. When every candidate exists the one
// numbered 99 is the result. Empty when the candidate to propose holds more than capacity - 1
// characters (more than the caller's buffer of `capacity`, NUL included, takes): cut to fit, it
// would name some other file, perhaps one that exists.
std::u16string UniqueFileName(std::u16string_view folder, std::u16string_view name, size_t capacity,
                              const std::function<bool(const std::u16string&)>& exists);
