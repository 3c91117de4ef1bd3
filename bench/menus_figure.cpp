// Figure 2 of `make bench`: one context menu per handler, through the real ZelToolExt.dll,
// against one raw Status round trip.
#include <windows.h>
#include <shlobj.h>

#include <string>
#include <vector>

#include "bench/bench.h"
#include "tests/win/shellext_host.h"
#include "tests/win/test_paths.h"
#include "tools/scripted_service.h"

namespace {

// Rounds of one raw round trip and one menu per handler.
constexpr int kMenuWarmups = 30;
constexpr int kMenuRounds = 500;
constexpr double kMenuLimitSeconds = 120;
constexpr double kMenuTarget = 1.5;

}  // namespace

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

