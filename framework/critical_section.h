// A critical section that lives as long as its owner, and a lock that holds one for a scope.
// The shipped binaries are built with a runtime that has no std::mutex, and a critical section
// is all that Windows XP offers without one.
#pragma once

#include <windows.h>

class CCriticalSection {
 public:
  CCriticalSection() { ::InitializeCriticalSection(&m_section); }
  ~CCriticalSection() { ::DeleteCriticalSection(&m_section); }
  CCriticalSection(const CCriticalSection&) = delete;
  CCriticalSection& operator=(const CCriticalSection&) = delete;

  void Enter() { ::EnterCriticalSection(&m_section); }
  void Leave() { ::LeaveCriticalSection(&m_section); }

 private:
  CRITICAL_SECTION m_section;
};

class CCriticalSectionLock {
 public:
  explicit CCriticalSectionLock(CCriticalSection& section) : m_section(section) { m_section.Enter(); }
  ~CCriticalSectionLock() { m_section.Leave(); }
  CCriticalSectionLock(const CCriticalSectionLock&) = delete;
  CCriticalSectionLock& operator=(const CCriticalSectionLock&) = delete;

 private:
  CCriticalSection& m_section;
};
