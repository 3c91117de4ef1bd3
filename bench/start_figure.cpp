// Figure 3 of `make bench`: Lockvale.exe's start until its start window shows, against the
// minimal dialog program's.
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "bench/bench.h"
#include "tests/e2e/driver.h"
#include "tests/win/test_paths.h"
#include "utility/res/resource.h"

namespace {

// Each program this many times, alternating.
constexpr int kStartWarmups = 2;
constexpr int kStarts = 21;
constexpr DWORD kWindowTimeoutMs = 20000;
constexpr DWORD kExitTimeoutMs = 10000;
constexpr double kStartTarget = 1.3;

std::wstring Caption(HWND hwnd) {
  wchar_t text[128] = {};
  GetWindowTextW(hwnd, text, 128);  // a window of another process: no message is sent
  return text;
}

// From CreateProcess until a visible top-level window of the process passes isFirst; 0 when none
// came within the time limit. The program is then closed as a user would (Exit).
double StartUntilVisible(const std::wstring& path, const std::function<bool(HWND)>& isFirst) {
  SetEnvironmentVariableW(L"LV_PROGRAM", path.c_str());
  CProgram program;
  const double start = NowMicroseconds();
  if (!program.Start(L"")) return 0;
  HWND found = nullptr;
  for (;;) {
    for (HWND hwnd : TopWindows(program.Pid())) {
      if (isFirst(hwnd)) found = hwnd;
    }
    if (found != nullptr || NowMicroseconds() - start > kWindowTimeoutMs * 1000.0) break;
    Sleep(1);
  }
  const double elapsed = NowMicroseconds() - start;
  if (found == nullptr) return 0;
  Click(found, IDCANCEL);
  program.WaitExit(kExitTimeoutMs, nullptr);  // one that does not end is ended by ~CProgram
  return elapsed;
}

}  // namespace

void MeasureStarts() {
  const std::wstring lockvale = PathBesideProgram(L"..\\utility\\Lockvale.exe");
  const std::wstring minimal = PathBesideProgram(L"minimal_dialog.exe");
  auto isStartWindow = [](HWND hwnd) {
    return Caption(hwnd) == L"Lockvale" && GetDlgItem(hwnd, IDC_CREATE) != nullptr &&
           GetDlgItem(hwnd, ID_APP_ABOUT) != nullptr;
  };
  auto isMinimalDialog = [](HWND hwnd) { return Caption(hwnd) == L"Minimal dialog"; };

  std::vector<double> lockvaleTimes;
  std::vector<double> minimalTimes;
  int failed = 0;
  for (int i = 0; i < kStartWarmups + kStarts; ++i) {
    const bool keep = i >= kStartWarmups;
    for (int k = 0; k < 2; ++k) {
      const bool lockvaleNow = (i + k) % 2 == 0;  // alternating which one starts first
      const double time = lockvaleNow ? StartUntilVisible(lockvale, isStartWindow)
                                      : StartUntilVisible(minimal, isMinimalDialog);
      if (!keep) continue;
      if (time <= 0) {
        ++failed;
      } else {
        (lockvaleNow ? lockvaleTimes : minimalTimes).push_back(time);
      }
    }
  }
  SetEnvironmentVariableW(L"LV_PROGRAM", nullptr);
  Note(Format("3: %d starts each after %d warm-ups; Lockvale min/max %s/%s, minimal dialog min/max %s/%s; "
              "starts without a window %d",
              kStarts, kStartWarmups, Duration(Percentile(lockvaleTimes, 0)).c_str(),
              Duration(Percentile(lockvaleTimes, 1)).c_str(), Duration(Percentile(minimalTimes, 0)).c_str(),
              Duration(Percentile(minimalTimes, 1)).c_str(), failed));
  RatioRow("3", "Lockvale.exe start until start window visible vs minimal dialog (median)", Median(lockvaleTimes),
           Median(minimalTimes), kStartTarget, failed);
}

