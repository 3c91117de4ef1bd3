// The message loop: filters newest first, idle handlers oldest first once per burst of real
// activity, the quit code, and lists changed from inside a filter.
#include "framework/message_loop.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

using ::testing::ElementsAre;

namespace {

std::vector<std::string> g_log;

class CLoggingFilter : public CMessageFilter {
 public:
  CLoggingFilter(std::string name, std::function<BOOL(MSG*)> action = {}) : m_name(std::move(name)), m_action(std::move(action)) {}
  BOOL PreTranslateMessage(MSG* pMsg) override {
    if (pMsg->message < WM_APP) return FALSE;
    g_log.push_back(m_name + ":" + std::to_string(pMsg->message - WM_APP));
    return m_action ? m_action(pMsg) : FALSE;
  }

 private:
  std::string m_name;
  std::function<BOOL(MSG*)> m_action;
};

class CLoggingIdleHandler : public CIdleHandler {
 public:
  CLoggingIdleHandler(std::string name, std::function<void(int)> action = {}) : m_name(std::move(name)), m_action(std::move(action)) {}
  BOOL OnIdle() override {
    g_log.push_back(m_name);
    if (m_action) m_action(++m_nCalls);
    return TRUE;  // asking for more must not earn another pass
  }

 private:
  std::string m_name;
  std::function<void(int)> m_action;
  int m_nCalls = 0;
};

void Post(UINT message) { PostThreadMessageW(GetCurrentThreadId(), message, 0, 0); }

void CALLBACK QuitWith42(HWND, UINT, UINT_PTR id, DWORD) {
  KillTimer(nullptr, id);
  PostQuitMessage(42);
}

}  // namespace

TEST(MessageLoop, FiltersNewestFirstAndIdleOncePerBurstOfActivity) {
  g_log.clear();
  CMessageLoop loop;
  CLoggingFilter older("F1");
  CLoggingFilter newer("F2", [](MSG* msg) { return msg->message == WM_APP + 2 ? TRUE : FALSE; });
  CLoggingIdleHandler first("I1", [](int call) {
    if (call == 1) {
      Post(WM_APP + 1);
      Post(WM_APP + 2);
    } else if (call == 2) {
      // None of these is activity: no third idle pass may follow them.
      Post(WM_MOUSEMOVE);
      Post(WM_NCMOUSEMOVE);
      Post(WM_PAINT);
      Post(0x0118);
      SetTimer(nullptr, 0, 300, QuitWith42);
    }
  });
  CLoggingIdleHandler second("I2");
  loop.AddMessageFilter(&older);
  loop.AddMessageFilter(&newer);
  loop.AddIdleHandler(&first);
  loop.AddIdleHandler(&second);

  EXPECT_EQ(loop.Run(), 42);
  EXPECT_THAT(g_log, ElementsAre("I1", "I2", "F2:1", "F1:1", "F2:2", "I1", "I2"));
}

TEST(MessageLoop, AFilterMayRemoveItselfAndOthersWhileTheLoopAsksThem) {
  g_log.clear();
  CMessageLoop loop;
  CLoggingFilter oldest("F1", [](MSG* msg) {
    if (msg->message == WM_APP + 2) PostQuitMessage(7);
    return FALSE;
  });
  CLoggingFilter middle("F2");
  CMessageFilter* self = nullptr;
  CLoggingFilter newest("F3", [&](MSG* msg) {
    if (msg->message == WM_APP + 1) {
      loop.RemoveMessageFilter(&middle);
      loop.RemoveMessageFilter(self);
    }
    return FALSE;
  });
  self = &newest;
  loop.AddMessageFilter(&oldest);
  loop.AddMessageFilter(&middle);
  loop.AddMessageFilter(&newest);
  EXPECT_FALSE(loop.AddMessageFilter(&oldest));  // already there

  Post(WM_APP + 1);
  Post(WM_APP + 2);
  EXPECT_EQ(loop.Run(), 7);
  EXPECT_THAT(g_log, ElementsAre("F3:1", "F1:1", "F1:2"));
}
