// The Windows half of `make bench`: every figure is measured here against a baseline measured
// in the same run, on the same machine, and printed as one tab-separated row
// ("ROW", number, measure, measured, baseline, ratio, target, result) for scripts/bench to lay
// out. Lines starting "NOTE" carry the figures behind a row.
//   lv_bench.exe [pipe] [menus] [start] [load]     (no argument: all four, in this order)
// Every wait has a deadline and every loop a fixed count and a time limit; all traffic is on
// this machine's named pipe.
#include <windows.h>
#include <shlobj.h>

#include <algorithm>
#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "common/disk_service_client.h"
#include "common/service_pipe.h"
#include "common/wide.h"
#include "tests/e2e/driver.h"
#include "tests/win/shellext_host.h"
#include "tests/win/test_paths.h"
#include "tools/scripted_service.h"
#include "utility/res/resource.h"

namespace {

// Status through the client against the raw round trip.
constexpr int kPipeWarmups = 200;
constexpr int kPipeRounds = 2000;
// Context menus: rounds of one raw round trip and one menu per handler.
constexpr int kMenuWarmups = 30;
constexpr int kMenuRounds = 500;
constexpr double kMenuLimitSeconds = 120;
// Program starts, each program this many times, alternating.
constexpr int kStartWarmups = 2;
constexpr int kStarts = 21;
constexpr DWORD kWindowTimeoutMs = 20000;
constexpr DWORD kExitTimeoutMs = 10000;
// The development service under load.
constexpr int kLoadClients = 32;
constexpr int kLoadRequests = 2000;
constexpr int kLoadWarmups = 100;
constexpr double kLoadLimitSeconds = 240;
constexpr DWORD kServiceStartTimeoutMs = 15000;

constexpr double kPipeTarget = 1.10;
constexpr double kMenuTarget = 1.5;
constexpr double kStartTarget = 1.3;

// --- measuring

double NowMicroseconds() {
  static const double ticksPerMicrosecond = [] {
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(frequency.QuadPart) / 1e6;
  }();
  LARGE_INTEGER now;
  QueryPerformanceCounter(&now);
  return static_cast<double>(now.QuadPart) / ticksPerMicrosecond;
}

double Median(std::vector<double> values) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  const size_t middle = values.size() / 2;
  return values.size() % 2 != 0 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

// Nearest rank: the smallest value with at least share of all values at or below it.
double Percentile(std::vector<double> values, double share) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  size_t rank = static_cast<size_t>(share * static_cast<double>(values.size()) + 0.999999);
  rank = std::min(std::max<size_t>(rank, 1), values.size());
  return values[rank - 1];
}

// --- printing

std::string Format(const char* format, ...) {
  char text[512];
  va_list args;
  va_start(args, format);
  std::vsnprintf(text, sizeof text, format, args);
  va_end(args);
  return text;
}

std::string Duration(double microseconds) {
  if (microseconds >= 10000) return Format("%.1f ms", microseconds / 1000);
  return Format("%.1f us", microseconds);
}

void Row(const std::string& number, const std::string& measure, const std::string& measured,
         const std::string& baseline, const std::string& ratio, const std::string& target, const std::string& result) {
  std::printf("ROW\t%s\t%s\t%s\t%s\t%s\t%s\t%s\n", number.c_str(), measure.c_str(), measured.c_str(),
              baseline.c_str(), ratio.c_str(), target.c_str(), result.c_str());
  std::fflush(stdout);
}

void Note(const std::string& text) {
  std::printf("NOTE\t%s\n", text.c_str());
  std::fflush(stdout);
}

// A row whose figure is a ratio with an upper bound; a row with failed samples never holds.
void RatioRow(const std::string& number, const std::string& measure, double measured, double baseline, double target,
              int failures) {
  const double ratio = baseline > 0 ? measured / baseline : 0;
  std::string result = baseline > 0 && ratio <= target ? "holds" : "DOES NOT HOLD";
  if (failures > 0) result = Format("DOES NOT HOLD (%d failed)", failures);
  Row(number, measure, Duration(measured), Duration(baseline), Format("%.3f", ratio), Format("<= %.2f", target),
      result);
}

// --- paths and the pipe

std::string Request(const char* text) { return std::string(text) + std::string(1, '\0'); }

// The raw round trip: open, one write, one read, close; nothing converted, nothing parsed.
bool RawRoundTrip(const std::string& request) {
  HANDLE pipe = CreateFileA(kServicePipeName, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  if (pipe == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  bool ok = WriteFile(pipe, request.data(), static_cast<DWORD>(request.size()), &written, nullptr) &&
            written == request.size();
  char reply[CDiskServiceClient::kIntegerReplyCapacity];
  DWORD read = 0;
  ok = ok && ReadFile(pipe, reply, sizeof reply, &read, nullptr) && read > 0;
  CloseHandle(pipe);
  return ok;
}

template <class Fn>
double Timed(Fn&& fn) {
  const double start = NowMicroseconds();
  fn();
  return NowMicroseconds() - start;
}

// --- 1. Status through the client against the raw round trip, on one scripted service

void MeasureStatusExchange() {
  CScriptedService::Options options;
  options.recordRequests = false;
  CScriptedService service([](const std::string&) { return ScriptedReply::Text("0"); }, options);
  if (!service.Start()) {
    Row("1", "Status via CDiskServiceClient vs raw round trip", "-", "-", "-", "<= 1.10",
        "DOES NOT HOLD (no scripted service)");
    return;
  }
  // The very bytes the client sends for Status("E:").
  const std::string request = Request("Status\nE:\n");
  CDiskServiceClient client;
  for (int i = 0; i < kPipeWarmups; ++i) {
    RawRoundTrip(request);
    client.Status(u"E:");
  }

  // Pairs in the order ABBA, so that neither side always goes first.
  std::vector<double> raw;
  std::vector<double> through;
  raw.reserve(kPipeRounds);
  through.reserve(kPipeRounds);
  int rawFailed = 0;
  const int connectionsBefore = service.Connections();
  for (int i = 0; i < kPipeRounds; ++i) {
    const bool rawFirst = i % 4 == 0 || i % 4 == 3;
    auto measureRaw = [&] {
      bool ok = false;
      raw.push_back(Timed([&] { ok = RawRoundTrip(request); }));
      if (!ok) ++rawFailed;
    };
    auto measureClient = [&] { through.push_back(Timed([&] { client.Status(u"E:"); })); };
    if (rawFirst) {
      measureRaw();
      measureClient();
    } else {
      measureClient();
      measureRaw();
    }
  }
  // The service answers "0", which is also what a failed exchange reads as: the client's
  // exchanges are counted by the connections the service accepted.
  const int clientReached = service.Connections() - connectionsBefore - (kPipeRounds - rawFailed);
  const int clientFailed = std::max(0, kPipeRounds - clientReached);
  service.Stop();

  Note(Format("1: %d rounds after %d warm-ups; raw p10/p90 %s/%s, client p10/p90 %s/%s; failed raw %d, client %d",
              kPipeRounds, kPipeWarmups, Duration(Percentile(raw, 0.1)).c_str(), Duration(Percentile(raw, 0.9)).c_str(),
              Duration(Percentile(through, 0.1)).c_str(), Duration(Percentile(through, 0.9)).c_str(), rawFailed,
              clientFailed));
  RatioRow("1", "Status via CDiskServiceClient vs raw round trip (median)", Median(through), Median(raw), kPipeTarget,
           rawFailed + clientFailed);
}

// --- 2. One context menu per handler against one raw Status round trip

void MeasureContextMenus() {
  const std::wstring dll = PathBesideProgram(L"..\\shellext\\ZelToolExt.dll");
  const std::wstring program = PathBesideProgram(L"..\\utility\\Lockvale.exe");
  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  {
    // The Unmount handler's drive is a mounted disk, so that every handler shows its item.
    const std::string mountedDrive = Request("Status\nE:\\\n");
    CScriptedService::Options options;
    options.recordRequests = false;
    CScriptedService service(
        [mountedDrive](const std::string& request) { return ScriptedReply::Text(request == mountedDrive ? "1" : "0"); },
        options);
    CShellextHost host(dll);
    if (!service.Start() || !host.Loaded()) {
      Row("2", "context menus through ZelToolExt.dll", "-", "-", "-", "<= 1.50",
          host.Loaded() ? "DOES NOT HOLD (no scripted service)" : "DOES NOT HOLD (ZelToolExt.dll not loaded)");
      CoUninitialize();
      return;
    }
    const std::wstring openCommand = L"\"" + program + L"\" \"%1\"";
    COpenCommand command(&openCommand);
    CTempFolder folder(L"lv-bench-create-folder");
    CPidl folderPidl = PidlOfPath(folder.Path());
    const std::string rawRequest = Request("Status\nD:\n");  // what the Mount handler sends here

    struct Case {
      const char* name;
      CLSID clsid;
      std::vector<std::wstring> files;  // empty: the folder background
      std::vector<double> times;
      int failed = 0;
    };
    std::vector<Case> cases = {
        {"Mount", kMountClass, {L"D:\\Disks\\Project Data.zel"}, {}},
        {"Unmount", kUnmountClass, {L"E:\\"}, {}},
        {"Create", kCreateClass, {}, {}},
    };
    std::vector<double> raw;
    int rawFailed = 0;

    // What the shell does for one menu: get the handler (its constructor reads the open
    // command), initialise it with the selection or folder, let it add its item. The data
    // object and the popup menu are the shell's, made before the clock starts.
    auto buildMenu = [&](Case& c, bool keep) {
      CRef<IDataObject> data;
      if (!c.files.empty()) data = FileListData(c.files);
      HMENU popup = CreatePopupMenu();
      HRESULT initialized = E_FAIL;
      HRESULT queried = E_FAIL;
      CHandler handler;
      const double time = Timed([&] {
        handler = CreateHandler(host, c.clsid);
        if (!handler.init || !handler.menu) return;
        initialized = handler.init->Initialize(c.files.empty() ? folderPidl.get() : nullptr, data.get(), nullptr);
        if (initialized != S_OK) return;
        queried = handler.menu->QueryContextMenu(popup, 0, kFirstCommandId, kFirstCommandId + 50, CMF_NORMAL);
      });
      const bool built = queried == MAKE_HRESULT(SEVERITY_SUCCESS, 0, 1) && GetMenuItemCount(popup) == 1;
      DestroyMenu(popup);
      if (!keep) return;
      c.times.push_back(time);
      if (!built) ++c.failed;
    };
    auto rawTrip = [&](bool keep) {
      bool ok = false;
      const double time = Timed([&] { ok = RawRoundTrip(rawRequest); });
      if (!keep) return;
      raw.push_back(time);
      if (!ok) ++rawFailed;
    };

    const double start = NowMicroseconds();
    int rounds = 0;
    for (int i = 0; i < kMenuWarmups + kMenuRounds; ++i) {
      if (NowMicroseconds() - start > kMenuLimitSeconds * 1e6) break;
      const bool keep = i >= kMenuWarmups;
      // Each round rotates which of the four goes first.
      for (int k = 0; k < 4; ++k) {
        const int which = (i + k) % 4;
        if (which == 3) {
          rawTrip(keep);
        } else {
          buildMenu(cases[static_cast<size_t>(which)], keep);
        }
      }
      if (keep) ++rounds;
    }
    service.Stop();

    const double baseline = Median(raw);
    Note(Format("2: %d rounds after %d warm-ups (limit %.0f s); raw Status p10/p90 %s/%s, failed %d", rounds,
                kMenuWarmups, kMenuLimitSeconds, Duration(Percentile(raw, 0.1)).c_str(),
                Duration(Percentile(raw, 0.9)).c_str(), rawFailed));
    for (Case& c : cases) {
      Note(Format("2: %s menu p10/p90 %s/%s, menus not built %d", c.name, Duration(Percentile(c.times, 0.1)).c_str(),
                  Duration(Percentile(c.times, 0.9)).c_str(), c.failed));
      RatioRow(Format("2 %s", c.name), Format("%s handler menu (create, Initialize, QueryContextMenu) vs raw Status", c.name),
               Median(c.times), baseline, kMenuTarget, c.failed + rawFailed);
    }
    if (rounds < kMenuRounds) Note(Format("2: stopped at the time limit after %d of %d rounds", rounds, kMenuRounds));

    // What the Create handler spends in the two platform calls it must make before it asks the
    // service: turning the folder into a path, and the drive type of its root. On Windows both
    // take microseconds; under Wine the drive type is a round trip to its mount manager.
    std::vector<double> pathTimes;
    std::vector<double> driveTimes;
    wchar_t folderPath[MAX_PATH + 1] = {};
    const std::wstring root = folder.Path().substr(0, 3);
    for (int i = 0; i < rounds; ++i) {
      pathTimes.push_back(Timed([&] { SHGetPathFromIDListW(folderPidl.get(), folderPath); }));
      driveTimes.push_back(Timed([&] { GetDriveTypeW(root.c_str()); }));
    }
    const double platform = Median(pathTimes) + Median(driveTimes);
    const Case& create = cases[2];
    Note(Format("2: Create's platform calls (median): SHGetPathFromIDListW %s, GetDriveTypeW %s",
                Duration(Median(pathTimes)).c_str(), Duration(Median(driveTimes)).c_str()));
    Row("2 Create-", "Create handler menu less those two platform calls vs raw Status",
        Duration(Median(create.times) - platform), Duration(baseline),
        Format("%.3f", baseline > 0 ? (Median(create.times) - platform) / baseline : 0), "(reference)", "-");
  }
  CoUninitialize();
}

// --- 3. Lockvale.exe's start against the minimal dialog program's

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

// --- 4. The development service under load

struct LoadRun {
  std::vector<double> latencies;
  int answered = 0;
  int failed = 0;
  double seconds = 0;
};

// clients threads, each sending requests StorageAccessible requests for a missing file, all
// released at once. A failed exchange reads as 0, an answer as 1 with reason 0.
LoadRun Load(int clients, int requests, const std::u16string& missing) {
  std::vector<std::vector<double>> latencies(static_cast<size_t>(clients));
  std::atomic<int> answered{0};
  std::atomic<int> failed{0};
  HANDLE go = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  std::atomic<int> ready{0};
  std::atomic<bool> late{false};
  const double deadline = NowMicroseconds() + kLoadLimitSeconds * 1e6;
  std::vector<std::thread> threads;
  threads.reserve(static_cast<size_t>(clients));
  for (int c = 0; c < clients; ++c) {
    threads.emplace_back([&, c] {
      std::vector<double>& mine = latencies[static_cast<size_t>(c)];
      mine.reserve(static_cast<size_t>(requests));
      CDiskServiceClient client;
      ++ready;
      WaitForSingleObject(go, kServiceStartTimeoutMs);
      for (int i = 0; i < requests && !late.load(); ++i) {
        int32_t reason = -1;
        int32_t usable = 0;
        mine.push_back(Timed([&] { usable = client.StorageAccessible(missing, u"", reason); }));
        if (usable == 1 && reason == 0) {
          ++answered;
        } else {
          ++failed;
        }
        if (NowMicroseconds() > deadline) late = true;
      }
    });
  }
  // Released together once every thread waits (or after a bounded wait for stragglers).
  for (int i = 0; i < 1000 && ready.load() < clients; ++i) Sleep(5);
  const double start = NowMicroseconds();
  SetEvent(go);
  for (std::thread& thread : threads) thread.join();
  LoadRun run;
  run.seconds = (NowMicroseconds() - start) / 1e6;
  CloseHandle(go);
  for (const auto& one : latencies) run.latencies.insert(run.latencies.end(), one.begin(), one.end());
  run.answered = answered.load();
  run.failed = failed.load();
  if (late.load()) Note(Format("4: a run of %d clients stopped at the time limit of %.0f s", clients, kLoadLimitSeconds));
  return run;
}

class CServiceProcess {
 public:
  CServiceProcess(const std::wstring& path, const std::wstring& log) {
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    m_log = CreateFileW(log.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS, 0, nullptr);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = m_log;  // its one line per request goes to the log, as in `make run`
    startup.hStdError = m_log;
    std::wstring commandLine = L"\"" + path + L"\"";
    PROCESS_INFORMATION process{};
    if (m_log != INVALID_HANDLE_VALUE &&
        CreateProcessW(path.c_str(), &commandLine[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &process)) {
      CloseHandle(process.hThread);
      m_process = process.hProcess;
    }
  }
  ~CServiceProcess() {
    if (m_process != nullptr) {
      TerminateProcess(m_process, 0);
      WaitForSingleObject(m_process, 5000);
      CloseHandle(m_process);
    }
    if (m_log != INVALID_HANDLE_VALUE) CloseHandle(m_log);
  }
  CServiceProcess(const CServiceProcess&) = delete;
  CServiceProcess& operator=(const CServiceProcess&) = delete;

  HANDLE Handle() const { return m_process; }
  bool WaitServing() const {
    if (m_process == nullptr) return false;
    const double start = NowMicroseconds();
    while (NowMicroseconds() - start < kServiceStartTimeoutMs * 1000.0) {
      if (WaitNamedPipeA(kServicePipeName, 100)) return true;
      if (WaitForSingleObject(m_process, 20) == WAIT_OBJECT_0) return false;
    }
    return false;
  }

 private:
  HANDLE m_process = nullptr;
  HANDLE m_log = INVALID_HANDLE_VALUE;
};

DWORD HandleCount(HANDLE process) {
  DWORD count = 0;
  return GetProcessHandleCount(process, &count) ? count : 0;
}

void MeasureServiceLoad() {
  const std::wstring log = TempFilePath(L"lv-bench-dev-service.log");
  const std::wstring missingPath = TempFilePath(L"lv-bench-missing.zel");
  DeleteFileW(missingPath.c_str());
  const std::u16string missing = U16Str(missingPath);
  const int total = kLoadClients * kLoadRequests;
  {
    CServiceProcess service(PathBesideProgram(L"..\\tools\\dev_service\\dev_service.exe"), log);
    if (!service.WaitServing()) {
      Row("4", "dev_service under load", "-", "-", "-", "all answered, none failed",
          "DOES NOT HOLD (dev_service.exe did not serve its pipe)");
      return;
    }
    Load(1, kLoadWarmups, missing);
    const DWORD handlesBefore = HandleCount(service.Handle());
    const LoadRun single = Load(1, kLoadRequests, missing);
    const LoadRun loaded = Load(kLoadClients, kLoadRequests, missing);
    const DWORD handlesAfter = HandleCount(service.Handle());

    const double singleP50 = Median(single.latencies);
    const double p50 = Median(loaded.latencies);
    const double p99 = Percentile(loaded.latencies, 0.99);
    const double singleRate = single.seconds > 0 ? single.answered / single.seconds : 0;
    const double loadedRate = loaded.seconds > 0 ? loaded.answered / loaded.seconds : 0;
    Note(Format("4: single client %d answered, %d failed in %.2f s; p99 %s", single.answered, single.failed,
                single.seconds, Duration(Percentile(single.latencies, 0.99)).c_str()));
    Note(Format("4: %d clients: %d answered, %d failed in %.2f s; max %s", kLoadClients, loaded.answered, loaded.failed,
                loaded.seconds, Duration(Percentile(loaded.latencies, 1)).c_str()));
    if (handlesBefore != 0 || handlesAfter != 0) {
      Note(Format("4: dev_service handle count %lu before the measured runs, %lu after",
                  static_cast<unsigned long>(handlesBefore), static_cast<unsigned long>(handlesAfter)));
    }

    const bool allAnswered = loaded.answered == total && loaded.failed == 0;
    Row("4", Format("dev_service: %d clients x %d StorageAccessible", kLoadClients, kLoadRequests),
        Format("%d answered, %d failed", loaded.answered, loaded.failed),
        Format("1 client: %d answered, %d failed", single.answered, single.failed), "-",
        Format("%d answered, 0 failed", total), allAnswered ? "holds" : "DOES NOT HOLD");
    Row("4 p50", Format("dev_service p50 latency, %d clients vs 1 client p50", kLoadClients), Duration(p50),
        Duration(singleP50), Format("%.2f", singleP50 > 0 ? p50 / singleP50 : 0), "(reference)", "-");
    Row("4 p99", Format("dev_service p99 latency, %d clients vs 1 client p50", kLoadClients), Duration(p99),
        Duration(singleP50), Format("%.2f", singleP50 > 0 ? p99 / singleP50 : 0), "(reference)", "-");
    Row("4 rate", Format("dev_service throughput, %d clients vs 1 client", kLoadClients),
        Format("%.0f req/s", loadedRate), Format("%.0f req/s", singleRate),
        Format("%.2f", singleRate > 0 ? loadedRate / singleRate : 0), "(reference)", "-");
  }
  DeleteFileW(log.c_str());
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> chosen(argv + 1, argv + argc);
  auto wanted = [&](const char* name) {
    return chosen.empty() || std::find(chosen.begin(), chosen.end(), name) != chosen.end();
  };
  if (wanted("pipe")) MeasureStatusExchange();
  if (wanted("menus")) MeasureContextMenus();
  if (wanted("start")) MeasureStarts();
  if (wanted("load")) MeasureServiceLoad();
  return 0;
}
