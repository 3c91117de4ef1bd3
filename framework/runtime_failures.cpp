// How the deliverables' C++ runtime fails, in less code than its own way. Linked into each
// deliverable as an object of its own (not an archive member), these definitions come before the
// runtime's, whose objects are then never taken: with what they pull in (a name demangler,
// printf, the copy-on-write strings of the standard exception classes) those would be a third
// of either binary, more than the linker can drop from a 32-bit build, whose unwind tables keep
// every function of an object alive.
#include <cstdlib>
#include <new>

// The runtime's own names, which these must have to take the runtime's place.
// NOLINTBEGIN(bugprone-reserved-identifier)

namespace __gnu_cxx {

// The runtime's handler prints the escaping exception's demangled type to a standard error
// stream that a windowed program and a shell extension do not have, then aborts.
[[noreturn]] void __verbose_terminate_handler() { std::abort(); }

}  // namespace __gnu_cxx

// What the standard containers and strings raise when a size or position is out of range or an
// allocation fails. Nothing in the deliverables tells these apart: the program has no handler,
// so any of them ends it, and the shell extension turns every exception at its boundary into
// E_OUTOFMEMORY. So each raises std::bad_alloc, which needs no message text. Every function of
// the runtime's object is here, so that it can never be linked beside them.
namespace std {

[[noreturn]] void __throw_bad_exception() { throw bad_alloc(); }
[[noreturn]] void __throw_bad_alloc() { throw bad_alloc(); }
[[noreturn]] void __throw_bad_array_new_length() { throw bad_alloc(); }
[[noreturn]] void __throw_bad_cast() { throw bad_alloc(); }
[[noreturn]] void __throw_bad_typeid() { throw bad_alloc(); }
[[noreturn]] void __throw_logic_error(const char*) { throw bad_alloc(); }
[[noreturn]] void __throw_domain_error(const char*) { throw bad_alloc(); }
[[noreturn]] void __throw_invalid_argument(const char*) { throw bad_alloc(); }
[[noreturn]] void __throw_length_error(const char*) { throw bad_alloc(); }
[[noreturn]] void __throw_out_of_range(const char*) { throw bad_alloc(); }
[[noreturn]] void __throw_out_of_range_fmt(const char*, ...) { throw bad_alloc(); }
[[noreturn]] void __throw_runtime_error(const char*) { throw bad_alloc(); }
[[noreturn]] void __throw_range_error(const char*) { throw bad_alloc(); }
[[noreturn]] void __throw_overflow_error(const char*) { throw bad_alloc(); }
[[noreturn]] void __throw_underflow_error(const char*) { throw bad_alloc(); }

}  // namespace std

// NOLINTEND(bugprone-reserved-identifier)
