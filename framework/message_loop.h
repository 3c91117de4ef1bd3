// The message loop shared by all windows of a thread: message filters see each message first
// (newest first) and idle handlers run when the queue runs empty (oldest first).
#pragma once

#include <windows.h>

#include <vector>

class CMessageFilter {
 public:
  virtual BOOL PreTranslateMessage(MSG* pMsg) = 0;

 protected:
  ~CMessageFilter() = default;
};

class CIdleHandler {
 public:
  virtual BOOL OnIdle() = 0;

 protected:
  ~CIdleHandler() = default;
};

class CMessageLoop {
 public:
  BOOL AddMessageFilter(CMessageFilter* pFilter);
  BOOL RemoveMessageFilter(CMessageFilter* pFilter);
  BOOL AddIdleHandler(CIdleHandler* pHandler);
  BOOL RemoveIdleHandler(CIdleHandler* pHandler);

  // Runs until the quit message and returns its code.
  int Run();

  // Whether a message counts as activity that earns another idle pass. Mouse movement, paint
  // and the system timer do not, or the idle handlers would run after every cursor twitch.
  static bool IsIdleMessage(const MSG& msg);

 private:
  BOOL PreTranslateMessage(MSG* pMsg);
  void OnIdle();
  // Drops the entries that were removed while the lists were being walked.
  void Compact();

  // Removal only clears an entry, so that a filter or handler that destroys a window (and so
  // removes itself or another) never disturbs the walk that called it.
  std::vector<CMessageFilter*> m_filters;
  std::vector<CIdleHandler*> m_idleHandlers;
  int m_nIdleCount = 0;
};
