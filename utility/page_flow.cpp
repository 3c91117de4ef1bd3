// Page flows and the end of the program.
#include "utility/page_flow.h"

#include <windows.h>

namespace {

// One user-interface thread: no locking.
int g_nRunningFlows = 0;
bool g_bEndPending = false;
int g_nPendingExitCode = 0;

}  // namespace

void EnterPageFlow() { ++g_nRunningFlows; }

void LeavePageFlow() {
  if (--g_nRunningFlows > 0 || !g_bEndPending) return;
  g_bEndPending = false;
  ::PostQuitMessage(g_nPendingExitCode);
}

void EndProgram(int code) {
  if (g_nRunningFlows == 0) {
    ::PostQuitMessage(code);
  } else if (!g_bEndPending) {
    g_bEndPending = true;
    g_nPendingExitCode = code;
  }
}
