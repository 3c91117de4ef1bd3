// zelpipe-check, run as the program a service writer runs: against the development service, and
// against scripted services that keep to the protocol but for one fault each, which it must
// report as a FAIL that names it.
#include <windows.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "common/disk_service_client.h"
#include "common/text.h"
#include "common/wide.h"
#include "tests/win/child_process.h"
#include "tests/win/test_paths.h"
#include "tools/scripted_service.h"
#include "tools/zelpipe_check/asker.h"
#include "tools/zelpipe_check/probe_win32.h"

namespace {

using ::testing::HasSubstr;

constexpr DWORD kCheckerTimeoutMs = 120000;

struct CheckerRun {
  DWORD startError = 0;  // when it did not start
  bool ended = false;
  DWORD exitCode = 0;
  std::string output;
  std::vector<std::string> passes;    // the PASS lines
  std::string last;                   // the last line
  std::vector<std::string> failures;  // the FAIL lines
};

std::wstring CheckerPath() { return PathBesideProgram(L"..\\..\\tools\\zelpipe_check\\zelpipe-check.exe"); }

CheckerRun RunChecker(const std::wstring& arguments, const std::wstring& program = CheckerPath()) {
  // A file of its own for every run: the last one's may still be on its way out.
  static int runs = 0;
  const std::wstring log = TempFilePath(L"lv-checker-output-" + std::to_wstring(++runs) + L".txt");
  CheckerRun run;
  {
    CChildProcess checker(program, arguments, log);
    run.startError = checker.StartError();
    run.ended = checker.WaitExit(kCheckerTimeoutMs, &run.exitCode);
    run.output = checker.Output();
  }
  DeleteFileW(log.c_str());
  for (const std::u16string& line : SplitText(FromUtf8(run.output), u'\n')) {
    std::string text = ToUtf8(line);
    if (!text.empty() && text.back() == '\r') text.pop_back();
    if (text.rfind("FAIL ", 0) == 0) run.failures.push_back(text);
    if (text.rfind("PASS ", 0) == 0) run.passes.push_back(text);
    run.last = text;
  }
  return run;
}

// A service that keeps to the protocol, with one disk mounted on E:.
const std::string kList = "E:\tC:\\disks\\e.zel\t7\n";

std::vector<std::string> Lines(const std::string& request) {
  std::vector<std::string> lines;
  for (const std::u16string& line : SplitText(FromUtf8(request), u'\n')) lines.push_back(ToUtf8(line));
  return lines;
}

std::string Keyword(const std::string& request) {
  const std::vector<std::string> lines = Lines(request);
  return lines.empty() ? std::string() : lines[0];
}

std::string Conforming(const std::string& request) {
  const std::vector<std::string> lines = Lines(request);
  const std::string keyword = Keyword(request);
  const std::string argument = lines.size() > 1 ? lines[1] : std::string();
  if (keyword == "Status") return argument == "E:" || argument == "E:\\" ? "1" : "0";
  if (keyword == "ListSize") return std::to_string(kList.size() + 1);
  if (keyword == "List") return kList;
  if (keyword == "StorageAccessible") {
    if (argument.rfind("\\\\", 0) == 0) return "0\n1";
    const DWORD attributes = GetFileAttributesW(WStr(FromUtf8(argument)).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return "1\n0";
    return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ? "0\n3" : "0\n1";
  }
  return "0";  // Mount refuses, Unmount answers
}

// Which passphrases a lifecycle service's Mount opens its encrypted disk with besides its own.
enum class AlsoOpensWith { None, AnyPassphrase, EmptyPassphrase };

// A service that keeps to the protocol through the checker's lifecycle too: it makes the disk
// file that Mount names, shows its drive letter while it is mounted, and knows its passphrase.
// A wrong passphrase gets wrongPassphraseReply from StorageAccessible.
CScriptedService::Script WithLifecycle(const std::string& wrongPassphraseReply,
                                       AlsoOpensWith alsoOpens = AlsoOpensWith::None) {
  struct Disk {
    std::string drive, path, passphrase;
    bool mounted = false;
  };
  auto disk = std::make_shared<Disk>();  // the script runs under the service's lock
  return [disk, wrongPassphraseReply, alsoOpens](const std::string& request) {
    const std::vector<std::string> lines = Lines(request);
    const std::string keyword = Keyword(request);
    const std::string argument = lines.size() > 1 ? lines[1] : std::string();
    const std::string ours = disk->mounted ? disk->drive + "\t" + disk->path + "\t1\n" : std::string();
    if (keyword == "Mount" && lines.size() > 4) {
      const std::wstring path = WStr(FromUtf8(argument));
      const std::wstring drive = WStr(FromUtf8(lines[2]));
      const bool exists = GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
      const bool opens = exists && argument == disk->path &&
                         (lines[4] == disk->passphrase || alsoOpens == AlsoOpensWith::AnyPassphrase ||
                          (alsoOpens == AlsoOpensWith::EmptyPassphrase && lines[4].empty()));
      if (disk->mounted || (exists && !opens) || (GetLogicalDrives() & (1u << (drive[0] - L'A'))) != 0) {
        return ScriptedReply::Text("0");
      }
      if (!exists) {
        CloseHandle(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr));
        *disk = {lines[2], argument, lines[4], false};
      }
      DefineDosDeviceW(0, drive.c_str(), TempFilePath(L"").c_str());
      disk->drive = lines[2];
      disk->mounted = true;
      return ScriptedReply::Text("1");
    }
    if (keyword == "Unmount" && disk->mounted && argument == disk->drive + " " + disk->path) {
      DefineDosDeviceW(DDD_REMOVE_DEFINITION, WStr(FromUtf8(disk->drive)).c_str(), nullptr);
      disk->mounted = false;
      return ScriptedReply::Text("1");
    }
    if (keyword == "Status" && disk->mounted && argument.substr(0, 2) == disk->drive) return ScriptedReply::Text("1");
    if (keyword == "ListSize") return ScriptedReply::Text(std::to_string(kList.size() + ours.size() + 1));
    if (keyword == "List") return ScriptedReply::Text(kList + ours);
    if (keyword == "StorageAccessible" && !disk->path.empty() && argument == disk->path) {
      const std::string passphrase = lines.size() > 2 ? lines[2] : std::string();
      return ScriptedReply::Text(passphrase == disk->passphrase ? "1\n0"
                                 : passphrase.empty()           ? "0\n4"
                                                                : wrongPassphraseReply);
    }
    return ScriptedReply::Text(Conforming(request));
  };
}

struct Fault {
  const char* name;
  CScriptedService::Script script;
  DWORD maxInstances;
  const wchar_t* arguments;
  std::vector<std::string> expected;  // each must be in a FAIL line
  bool onlyThese;                     // and no other FAIL line
  std::vector<std::string> notes{};   // each must be in the output too
  PipeDoor door = PipeDoor::CurrentUserOnly;
};

// The share mode and flags of every CreateFileA call of this program that opens the service's
// pipe, seen where the call leaves the program: while the object lives, the program's import of
// the function points at a recorder.
class CPipeOpenRecorder {
 public:
  CPipeOpenRecorder() {
    s_real = reinterpret_cast<CreateFileAFn>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "CreateFileA")));
    m_slot = ImportSlotOf(reinterpret_cast<void*>(s_real));
    if (m_slot != nullptr) Point(reinterpret_cast<void*>(&Record));
  }
  ~CPipeOpenRecorder() {
    if (m_slot != nullptr) Point(reinterpret_cast<void*>(s_real));
  }
  CPipeOpenRecorder(const CPipeOpenRecorder&) = delete;
  CPipeOpenRecorder& operator=(const CPipeOpenRecorder&) = delete;

  struct Open {
    DWORD share;
    DWORD flags;
  };
  bool Installed() const { return m_slot != nullptr; }
  static std::vector<Open> Opens() {
    std::lock_guard<std::mutex> lock(s_mutex);
    return s_opens;
  }

 private:
  using CreateFileAFn = HANDLE(WINAPI*)(LPCSTR, DWORD, DWORD, LPSECURITY_ATTRIBUTES, DWORD, DWORD, HANDLE);

  static HANDLE WINAPI Record(LPCSTR name, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security,
                              DWORD disposition, DWORD flags, HANDLE model) {
    if (name != nullptr && lstrcmpiA(name, kServicePipeName) == 0) {
      std::lock_guard<std::mutex> lock(s_mutex);
      s_opens.push_back({share, flags});
    }
    return s_real(name, access, share, security, disposition, flags, model);
  }

  // The slot of the program's import table that holds function.
  static void** ImportSlotOf(void* function) {
    auto* base = reinterpret_cast<BYTE*>(GetModuleHandleW(nullptr));
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& imports = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    for (auto* dll = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(base + imports.VirtualAddress); dll->Name != 0;
         ++dll) {
      for (auto** slot = reinterpret_cast<void**>(base + dll->FirstThunk); *slot != nullptr; ++slot) {
        if (*slot == function) return slot;
      }
    }
    return nullptr;
  }

  void Point(void* function) {
    DWORD protection = 0;
    VirtualProtect(m_slot, sizeof *m_slot, PAGE_READWRITE, &protection);
    *m_slot = function;
    VirtualProtect(m_slot, sizeof *m_slot, protection, &protection);
  }

  static inline CreateFileAFn s_real = nullptr;
  static inline std::mutex s_mutex;
  static inline std::vector<Open> s_opens;
  void** m_slot = nullptr;
};

}  // namespace

TEST(CheckerTest, EveryCheckPassesAgainstTheDevelopmentServiceWithTheLifecycle) {
  // The checker of this build; in the 32-bit runtime also the shipped 32-bit one
  // (%LV_CHECKER_I686%), which must pass the very same checks.
  std::vector<std::wstring> checkers{CheckerPath()};
  if (const wchar_t* shipped = _wgetenv(L"LV_CHECKER_I686")) checkers.emplace_back(shipped);
  const std::wstring folder = TempFilePath(L"lv-checker-lifecycle");
  CreateDirectoryW(folder.c_str(), nullptr);
  const std::wstring log = TempFilePath(L"lv-checker-service.log");
  std::vector<CheckerRun> runs;
  {
    CChildProcess service(PathBesideProgram(L"..\\..\\tools\\dev_service\\dev_service.exe"), L"", log);
    ASSERT_TRUE(service.Started());
    const DWORD start = GetTickCount();
    while (GetTickCount() - start < 15000 && !WaitNamedPipeA("\\\\.\\Pipe\\ZelPipe", 100)) Sleep(20);
    for (const std::wstring& checker : checkers) {
      runs.push_back(RunChecker(L"--lifecycle \"" + folder + L"\"", checker));
    }
  }
  DeleteFileW(log.c_str());
  for (const CheckerRun& run : runs) {
    ASSERT_TRUE(run.ended) << "start error " << run.startError;
    EXPECT_EQ(run.exitCode, 0u) << run.output;
    EXPECT_THAT(run.failures, ::testing::IsEmpty());
    EXPECT_THAT(run.passes, ::testing::Contains("PASS who may connect to the pipe"));
    EXPECT_THAT(run.passes, ::testing::Contains("PASS lifecycle: Mount with a wrong passphrase attaches nothing"));
    EXPECT_THAT(run.passes, ::testing::Contains("PASS lifecycle: the disk file can be removed"));
    EXPECT_THAT(run.last, ::testing::MatchesRegex("\\d+ passed, 0 failed"));
    EXPECT_EQ(run.passes, runs[0].passes);
  }
  // The lifecycle took its disk away again, and the checks their files.
  EXPECT_TRUE(RemoveDirectoryW(folder.c_str())) << "something was left in the folder";
}

TEST(CheckerTest, EachFaultOfAServiceIsReportedAsAFailNamingIt) {
  const auto raw = [](const std::string& request) { return ScriptedReply::Raw(Conforming(request)); };
  const auto text = [](const std::string& request) { return ScriptedReply::Text(Conforming(request)); };
  const std::wstring lifecycleFolder = TempFilePath(L"lv-checker-lifecycle-fault");
  CreateDirectoryW(lifecycleFolder.c_str(), nullptr);
  const std::wstring lifecycle = L"--lifecycle \"" + lifecycleFolder + L"\"";
  const std::vector<Fault> faults = {
      {"none", text, PIPE_UNLIMITED_INSTANCES, L"", {}, true},
      {"replies in two writes",
       [](const std::string& request) { return ScriptedReply::TextInTwoWrites(Conforming(request)); },
       PIPE_UNLIMITED_INSTANCES, L"", {"more than one write"}, false},
      {"a file that is no disk refused without a reason",
       [](const std::string& request) {
         const std::string reply = Conforming(request);
         return ScriptedReply::Text(reply == "0\n1" ? "0\n0" : reply);
       },
       PIPE_UNLIMITED_INSTANCES, L"", {"FAIL StorageAccessible of a file that is no disk: "}, true},
      {"a wrong passphrase refused for another reason", WithLifecycle("0\n1"), PIPE_UNLIMITED_INSTANCES,
       lifecycle.c_str(),
       {"FAIL lifecycle: StorageAccessible reasons of the new encrypted disk: StorageAccessible with \"not "},
       true},
      {"Mount opens the encrypted disk with any passphrase",
       WithLifecycle("0\n4", AlsoOpensWith::AnyPassphrase), PIPE_UNLIMITED_INSTANCES, lifecycle.c_str(),
       {"FAIL lifecycle: Mount with a wrong passphrase attaches nothing: Mount with a wrong passphrase attached ",
        "FAIL lifecycle: Mount with an empty passphrase attaches nothing: Mount with an empty passphrase attached "},
       true},
      {"Mount opens the encrypted disk without a passphrase",
       WithLifecycle("0\n4", AlsoOpensWith::EmptyPassphrase), PIPE_UNLIMITED_INSTANCES, lifecycle.c_str(),
       {"FAIL lifecycle: Mount with an empty passphrase attaches nothing: Mount with an empty passphrase attached "},
       true},
      {"a NULL DACL", text, PIPE_UNLIMITED_INSTANCES, L"",
       {"FAIL who may connect to the pipe: the pipe has a NULL DACL: anyone may connect"}, true, {},
       PipeDoor::NullDacl},
      {"Everyone may connect", text, PIPE_UNLIMITED_INSTANCES, L"",
       {"FAIL who may connect to the pipe: the DACL lets Everyone (S-1-1-0) connect and write"}, true, {},
       PipeDoor::AlsoEveryone},
      {"replies without NUL", raw, PIPE_UNLIMITED_INSTANCES, L"",
       {"FAIL replies end in NUL within their capacity: ", "FAIL ListSize: ListSize -> no NUL in the 2 bytes"}, false},
      {"a Status reply over its capacity",
       [](const std::string& request) {
         return ScriptedReply::Text(Keyword(request) == "Status" ? "0000000000000" : Conforming(request));
       },
       PIPE_UNLIMITED_INSTANCES, L"",
       {"FAIL replies end in NUL within their capacity: ", "FAIL Status of a mounted drive: Status E: -> 14 bytes with "
                                                            "its NUL, over the capacity of 10"},
       false},
      {"a ListSize that lies",
       [](const std::string& request) {
         return ScriptedReply::Text(Keyword(request) == "ListSize" ? "31" : Conforming(request));
       },
       PIPE_UNLIMITED_INSTANCES, L"",
       {"FAIL ListSize equals the List reply's size: ListSize -> 31, but the List reply is 21 bytes with its NUL"}, true},
      {"garbage", [](const std::string&) { return ScriptedReply::Text("\x1b[2J\x01zz"); }, PIPE_UNLIMITED_INSTANCES,
       L"", {"FAIL integers in decimal: ", "FAIL ListSize: ListSize -> \"\\x1B[2J\\x01zz\" is no decimal integer"},
       false},
      {"silence", [](const std::string&) { return ScriptedReply::Hang(); }, PIPE_UNLIMITED_INSTANCES, L"--timeout 300",
       {"FAIL ListSize: ListSize -> no reply within 300 ms", "FAIL 16 concurrent clients: "}, false},
      // Four instances at the most, one of them perhaps still being replaced: 12 or more are busy.
      {"too few instances", text, 4, L"", {"FAIL 16 concurrent clients: 1", " of 16 clients found the pipe busy"}, false},
      // Only Status of the mounted E: and the one Unmount are slow, so that the run stays short.
      {"replies slower than the clients wait",
       [](const std::string& request) {
         const bool slowStatus = Keyword(request) == "Status" && RequestLine(request, 1) == "E:";
         const DWORD delayMs = slowStatus ? 1500 : Keyword(request) == "Unmount" ? 2100 : 0;
         return ScriptedReply::Text(Conforming(request), delayMs);
       },
       PIPE_UNLIMITED_INSTANCES, L"",
       {"FAIL Status replies within 1 s: Status E: took 1", " ms when asked again",
        "; ZelToolExt gives up after 1 s: its menus would treat the drive as not mounted"},
       false,
       {"\nSLOW Unmount \"", "\nslowest reply per request: Mount "}},
      // A machine that is busy for a moment makes one reply late: the request asked again is
      // answered in time, and nothing fails.
      {"one Status reply slow once",
       [slow = std::make_shared<bool>(true)](const std::string& request) {
         const bool now = *slow && Keyword(request) == "Status";
         if (now) *slow = false;
         return ScriptedReply::Text(Conforming(request), now ? 1500 : 0);
       },
       PIPE_UNLIMITED_INSTANCES, L"", {}, true, {"\nSLOW once: Status E: took 1"}},
  };
  for (const Fault& fault : faults) {
    SCOPED_TRACE(fault.name);
    CScriptedService::Options options;
    options.maxInstances = fault.maxInstances;
    options.recordRequests = false;
    options.door = fault.door;
    CScriptedService service(fault.script, options);
    ASSERT_TRUE(service.Start());
    const CheckerRun run = RunChecker(fault.arguments);
    service.Stop();

    ASSERT_TRUE(run.ended) << "start error " << run.startError << "; " << run.output;
    EXPECT_EQ(run.exitCode, fault.expected.empty() ? 0u : 1u) << run.output;
    for (const std::string& expected : fault.expected) {
      EXPECT_THAT(run.failures, ::testing::Contains(HasSubstr(expected))) << run.output;
    }
    if (fault.onlyThese) {
      EXPECT_EQ(run.failures.size(), fault.expected.size()) << run.output;
    }
    for (const std::string& note : fault.notes) EXPECT_THAT(run.output, HasSubstr(note));
    EXPECT_THAT(run.last, ::testing::MatchesRegex("\\d+ passed, " + std::to_string(run.failures.size()) + " failed"));
    EXPECT_EQ(run.output.find('\x1b'), std::string::npos) << "a reply's control characters reached the console";
  }
  EXPECT_TRUE(RemoveDirectoryW(lifecycleFolder.c_str())) << "the lifecycle left something in its folder";
}

TEST(CheckerTest, ItOpensThePipeUnsharedForIdentificationOnlyAsOurClientsDo) {
  // A service that acts as its caller must fail the checks as it fails our clients, which let it
  // identify the user only. Wine lets a server act as any client whatever the client asked for,
  // so what the checker asks for is watched where it asks: at its call into the system. No
  // service needs to listen for that.
  CPipeOpenRecorder recorder;
  ASSERT_TRUE(recorder.Installed());
  CWin32Probe probe(1000);
  const std::string status = Request(ServiceRequest::Status, {"E:"});
  probe.Exchange(status, kIntegerReplyCapacity, 0);
  probe.ExchangeTogether(status, kIntegerReplyCapacity, 2);
  probe.Abandon("Status\n");
  CDiskServiceClient().Status(u"E:");  // Lockvale's own client, for comparison

  const std::vector<CPipeOpenRecorder::Open> opens = CPipeOpenRecorder::Opens();
  ASSERT_EQ(opens.size(), 5u);
  for (const CPipeOpenRecorder::Open& open : opens) {
    EXPECT_EQ(open.share, 0u);  // no second opener of the same connection
    EXPECT_EQ(open.flags & (SECURITY_SQOS_PRESENT | SECURITY_DELEGATION), SECURITY_SQOS_PRESENT | SECURITY_IDENTIFICATION)
        << std::hex << open.flags;
  }
}
