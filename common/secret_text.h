// Text that may hold a passphrase. Every buffer such text ever occupies is wiped before it goes
// back to the heap, and the text's own storage is wiped when it ends, so no passphrase lingers in
// freed memory for a later allocation or a crash dump to reveal.
#pragma once

#include <cstddef>
#include <new>
#include <string>

// Overwrites bytes with zeros in a way the compiler may not drop as a dead store.
void WipeMemory(void* data, size_t bytes);

#ifdef LV_FREED_SECRET_OBSERVER
// Test builds only: when set, sees every block the wiping allocator hands back, just before it
// goes to the heap: the one place from which the promise "nothing freed holds a passphrase" can
// be watched. What ships has no such writable function pointer.
using FreedSecretObserver = void (*)(const void* data, size_t bytes);
extern FreedSecretObserver g_pfnFreedSecretObserver;
#endif

template <class T>
struct WipingAllocator {
  using value_type = T;
  WipingAllocator() = default;
  template <class U>
  explicit WipingAllocator(const WipingAllocator<U>&) {}
  T* allocate(size_t n) { return static_cast<T*>(::operator new(n * sizeof(T))); }
  void deallocate(T* p, size_t n) {
    WipeMemory(p, n * sizeof(T));
#ifdef LV_FREED_SECRET_OBSERVER
    if (g_pfnFreedSecretObserver != nullptr) g_pfnFreedSecretObserver(p, n * sizeof(T));
#endif
    ::operator delete(p);
  }
  friend bool operator==(const WipingAllocator&, const WipingAllocator&) { return true; }
  friend bool operator!=(const WipingAllocator&, const WipingAllocator&) { return false; }
};

template <class Char>
class CSecretString : public std::basic_string<Char, std::char_traits<Char>, WipingAllocator<Char>> {
  using Base = std::basic_string<Char, std::char_traits<Char>, WipingAllocator<Char>>;

 public:
  CSecretString() = default;
  // Copies exactly the text given: sized once, so no earlier buffer is left behind.
  explicit CSecretString(std::basic_string_view<Char> text) : Base(text.data(), text.size()) {}
  CSecretString(size_t count, Char c) : Base(count, c) {}
  CSecretString(const CSecretString&) = default;
  CSecretString(CSecretString&&) noexcept = default;
  CSecretString& operator=(const CSecretString&) = default;
  CSecretString& operator=(CSecretString&&) noexcept = default;
  // Short texts live inside the object itself rather than on the heap: wipe whatever holds it.
  ~CSecretString() { WipeMemory(this->data(), (this->capacity() + 1) * sizeof(Char)); }
};

// A passphrase, or a request that carries one, as UTF-16 text.
using SecretText = CSecretString<char16_t>;
// The same on the wire, as UTF-8.
using SecretBytes = CSecretString<char>;
