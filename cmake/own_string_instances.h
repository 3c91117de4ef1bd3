// Forced into every source of the shipped builds (-include): each source has the compiler make
// the members of std::string and std::wstring that it uses, instead of declaring them made in
// the C++ runtime library. Taking any of the library's copies links its whole object of them,
// 68 KiB in the 32-bit program, whose unwind tables keep every function of an object alive;
// the program uses a fraction of them.
#pragma once
#include <bits/c++config.h>
#undef _GLIBCXX_EXTERN_TEMPLATE
#define _GLIBCXX_EXTERN_TEMPLATE 0
