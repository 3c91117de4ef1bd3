// The message loop shared by all windows of a thread.
#include "framework/message_loop.h"

#include <algorithm>

namespace {

template <typename T>
BOOL AddUnique(std::vector<T*>& list, T* item) {
  if (item == nullptr || std::find(list.begin(), list.end(), item) != list.end()) return FALSE;
  list.push_back(item);
  return TRUE;
}

template <typename T>
BOOL Clear(std::vector<T*>& list, T* item) {
  auto it = std::find(list.begin(), list.end(), item);
  if (item == nullptr || it == list.end()) return FALSE;
  *it = nullptr;
  return TRUE;
}

constexpr UINT kSystemTimer = 0x0118;

}  // namespace

BOOL CMessageLoop::AddMessageFilter(CMessageFilter* pFilter) { return AddUnique(m_filters, pFilter); }
BOOL CMessageLoop::RemoveMessageFilter(CMessageFilter* pFilter) { return Clear(m_filters, pFilter); }
BOOL CMessageLoop::AddIdleHandler(CIdleHandler* pHandler) { return AddUnique(m_idleHandlers, pHandler); }
BOOL CMessageLoop::RemoveIdleHandler(CIdleHandler* pHandler) { return Clear(m_idleHandlers, pHandler); }

bool CMessageLoop::IsIdleMessage(const MSG& msg) {
  switch (msg.message) {
    case WM_MOUSEMOVE:
    case WM_NCMOUSEMOVE:
    case WM_PAINT:
    case kSystemTimer:
      return false;
    default:
      return true;
  }
}

void CMessageLoop::Compact() {
  m_filters.erase(std::remove(m_filters.begin(), m_filters.end(), nullptr), m_filters.end());
  m_idleHandlers.erase(std::remove(m_idleHandlers.begin(), m_idleHandlers.end(), nullptr), m_idleHandlers.end());
}

BOOL CMessageLoop::PreTranslateMessage(MSG* pMsg) {
  // Newest first; entries are read afresh each step because a filter may add or remove others.
  for (size_t i = m_filters.size(); i-- > 0;) {
    CMessageFilter* filter = m_filters[i];
    if (filter != nullptr && filter->PreTranslateMessage(pMsg)) return TRUE;
  }
  return FALSE;
}

void CMessageLoop::OnIdle() {
  for (size_t i = 0; i < m_idleHandlers.size(); ++i) {
    if (CIdleHandler* handler = m_idleHandlers[i]) handler->OnIdle();
  }
  ++m_nIdleCount;
}

int CMessageLoop::Run() {
  bool doIdle = true;
  m_nIdleCount = 0;
  MSG msg{};
  for (;;) {
    Compact();
    if (doIdle && !::PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE)) {
      // One pass over every handler, whatever they answer, then wait for real activity.
      OnIdle();
      doIdle = false;
    }

    const BOOL got = ::GetMessageW(&msg, nullptr, 0, 0);
    if (got == -1) continue;
    if (!got) break;

    if (!PreTranslateMessage(&msg)) {
      ::TranslateMessage(&msg);
      ::DispatchMessageW(&msg);
    }
    if (IsIdleMessage(msg)) {
      doIdle = true;
      m_nIdleCount = 0;
    }
  }
  Compact();
  return static_cast<int>(msg.wParam);
}
