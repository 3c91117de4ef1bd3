// The development service, started as its own program, answering the program's client.
#include <windows.h>
#include <sddl.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "common/disk_service_client.h"
#include "common/mount_list.h"
#include "common/service_pipe.h"
#include "common/text.h"
#include "common/wide.h"
#include "tests/win/child_process.h"
#include "tests/win/test_paths.h"
#include "tools/dev_service/dev_service.h"
#include "tools/pipe_win32.h"
#include "tools/zelpipe_check/probe_win32.h"

namespace {

bool DriveExists(wchar_t letter) { return (GetLogicalDrives() & (1u << (letter - L'A'))) != 0; }

// One exchange with raw bytes, for requests the client would never send.
std::string RawExchange(const std::string& request) {
  HANDLE pipe = CreateFileA(kServicePipeName, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  if (pipe == INVALID_HANDLE_VALUE) return "<no pipe>";
  DWORD done = 0;
  WriteFile(pipe, request.data(), static_cast<DWORD>(request.size()), &done, nullptr);
  char reply[64] = {};
  ReadFile(pipe, reply, sizeof reply - 1, &done, nullptr);
  CloseHandle(pipe);
  return std::string(reply, done);
}

std::wstring ServicePath() { return PathBesideProgram(L"..\\..\\tools\\dev_service\\dev_service.exe"); }

// The service program, running for the whole test program.
class DevServiceProcess : public ::testing::Environment {
 public:
  void SetUp() override { Start(); }
  void TearDown() override { Stop(); }

  void Start() {
    std::wstring commandLine = L"\"" + ServicePath() + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    ASSERT_TRUE(CreateProcessW(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process));
    CloseHandle(process.hThread);
    m_process = process.hProcess;
    ASSERT_TRUE(WaitUntilServed()) << "the service never served its pipe";
  }
  void Stop() {
    if (m_process == nullptr) return;
    TerminateProcess(m_process, 0);
    WaitForSingleObject(m_process, 5000);
    CloseHandle(m_process);
    m_process = nullptr;
  }
  static bool WaitUntilServed() {
    const DWORD start = GetTickCount();
    while (GetTickCount() - start < 15000 && !WaitNamedPipeA(kServicePipeName, 100)) Sleep(20);
    return WaitNamedPipeA(kServicePipeName, 1000) != FALSE;
  }

 private:
  HANDLE m_process = nullptr;
};

auto* const kService = static_cast<DevServiceProcess*>(::testing::AddGlobalTestEnvironment(new DevServiceProcess));

BOOL WINAPI LetCtrlCPass(DWORD) { return TRUE; }

// Presses Ctrl+C in the console of a process and waits, at most timeoutMs, for it to end. This
// process joins that console for the moment and lets the press pass by itself with a handler
// (not the flag that ignores Ctrl+C, which whatever it starts later would inherit), then goes
// back to the console it came from.
bool PressCtrlC(const CChildProcess& process, DWORD timeoutMs, DWORD* exitCode) {
  FreeConsole();
  bool ended = false;
  if (AttachConsole(GetProcessId(process.Handle())) && SetConsoleCtrlHandler(LetCtrlCPass, TRUE)) {
    ended = GenerateConsoleCtrlEvent(CTRL_C_EVENT, 0) && process.WaitExit(timeoutMs, exitCode);
    FreeConsole();
    // The press reaches this process too; once the other has ended on it, it has come round.
    if (ended) SetConsoleCtrlHandler(LetCtrlCPass, FALSE);
  }
  AttachConsole(ATTACH_PARENT_PROCESS);
  return ended;
}

class DevServiceTest : public ::testing::Test {
 protected:
  CDiskServiceClient client;
};

}  // namespace

TEST_F(DevServiceTest, CreatesMountsListsAndUnmountsAnEncryptedDisk) {
  const std::wstring path = TempFilePath(L"lv-service-encrypted.zel");
  DeleteFileW(path.c_str());
  int32_t reason = -1;
  EXPECT_EQ(client.StorageAccessible(U16(path), u"", reason), 1);
  EXPECT_EQ(reason, 0);

  ASSERT_FALSE(DriveExists(L'K'));
  const int32_t number = client.Mount(U16(path), u"K:", u"Service test", u"pass phrase", 0);
  ASSERT_GT(number, 0);
  EXPECT_TRUE(DriveExists(L'K'));
  EXPECT_NE(GetFileAttributesW(path.c_str()), INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(client.Status(u"K:"), 1);
  EXPECT_EQ(client.Status(u"K:\\"), 1);

  const MountSlots slots = ParseMountList(client.List());
  EXPECT_EQ(EntryText(slots['K' - 'A']), u"K: " + U16Str(path));
  EXPECT_EQ(slots['K' - 'A'].number, number);

  EXPECT_EQ(client.Unmount(u"K: " + U16Str(path)), 1);
  EXPECT_FALSE(DriveExists(L'K'));
  EXPECT_EQ(client.Status(u"K:"), 0);

  EXPECT_EQ(client.StorageAccessible(U16(path), u"", reason), 0);
  EXPECT_EQ(reason, 4);
  EXPECT_EQ(client.StorageAccessible(U16(path), u"wrong", reason), 0);
  EXPECT_EQ(reason, 4);
  EXPECT_EQ(client.StorageAccessible(U16(path), u"pass phrase", reason), 1);
  EXPECT_EQ(reason, 0);
  DeleteFileW(path.c_str());
}

TEST_F(DevServiceTest, RefusesFilesThatAreNoDisksAndDrivesInUse) {
  const std::wstring text = TempFilePath(L"lv-service-notes.txt");
  HANDLE file = CreateFileW(text.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  DWORD written = 0;
  WriteFile(file, "notes", 5, &written, nullptr);
  CloseHandle(file);

  int32_t reason = -1;
  EXPECT_EQ(client.StorageAccessible(U16(text), u"", reason), 0);
  EXPECT_EQ(reason, 1);
  EXPECT_EQ(client.StorageAccessible(u"C:\\no such folder\\x.zel", u"", reason), 0);
  EXPECT_EQ(reason, 3);
  EXPECT_EQ(client.Mount(U16(text), u"L:", u"", u"", 0), 0);
  EXPECT_EQ(client.Mount(U16(TempFilePath(L"lv-service-c.zel")), u"C:", u"", u"", 0), 0);
  DeleteFileW(text.c_str());
}

TEST_F(DevServiceTest, AnswersManyClientsAtOnce) {
  const std::u16string missing = U16Str(TempFilePath(L"lv-service-missing.zel"));
  constexpr int kClients = 16;
  constexpr int kEach = 25;
  std::atomic<int> answered{0};
  std::vector<std::thread> clients;
  clients.reserve(kClients);
  for (int c = 0; c < kClients; ++c) {
    clients.emplace_back([&] {
      CDiskServiceClient own;
      for (int i = 0; i < kEach; ++i) {
        int32_t reason = -1;
        // A failed exchange would read as 0: 1 means the service answered.
        if (own.StorageAccessible(missing, u"", reason) == 1 && reason == 0) ++answered;
      }
    });
  }
  for (std::thread& thread : clients) thread.join();
  EXPECT_EQ(answered.load(), kClients * kEach);
}

TEST_F(DevServiceTest, RequestsThatAreNotWellFormedGetZeroAndHarmNothing) {
  EXPECT_EQ(RawExchange(std::string("hello\0", 6)), std::string("0\0", 2));
  EXPECT_EQ(RawExchange(std::string("Mount\nC:\\x.zel\n\0", 16)), std::string("0\0", 2));
  EXPECT_EQ(RawExchange(std::string("Status\nE:\n\0trailing\0", 20)), std::string("0\0", 2));
  EXPECT_EQ(RawExchange(std::string(200000, 'x') + std::string("\n\0", 2)), std::string("0\0", 2));
  // One of exactly the largest size is a request like any other: two integers come back.
  const std::string head = "StorageAccessible\n" + ToUtf8(U16(TempFilePath(L"")));
  const std::string largest =
      head + std::string(CDevService::kMaxRequestBytes - head.size() - 3, 'a') + std::string("\n\n\0", 3);
  EXPECT_NE(RawExchange(largest).find('\n'), std::string::npos);
  int32_t reason = -1;
  EXPECT_EQ(client.StorageAccessible(U16Str(TempFilePath(L"lv-service-after.zel")), u"", reason), 1);
}

TEST_F(DevServiceTest, OnlyTheUserItRunsAsMayConnect) {
  // Read as a client reads it, through its own connection: one entry, and it lets in this user.
  const PipeAccess access = CWin32Probe(5000).ReadPipeAccess();
  ASSERT_EQ(access.readError, 0u);
  ASSERT_TRUE(access.hasDacl) << "a NULL DACL lets anyone in";
  std::vector<std::string> allowed;
  for (const PipeAccessEntry& entry : access.entries) {
    if (entry.allows) allowed.push_back(entry.sid);
  }
  const std::vector<BYTE> user = CurrentUser();
  ASSERT_FALSE(user.empty());
  char* sid = nullptr;
  ASSERT_TRUE(ConvertSidToStringSidA(reinterpret_cast<const TOKEN_USER*>(user.data())->User.Sid, &sid));
  EXPECT_THAT(allowed, ::testing::ElementsAre(std::string(sid)));
  LocalFree(sid);
}

TEST_F(DevServiceTest, ASecondServiceRefusesToStartAndSaysWhy) {
  // The first service keeps the pipe and goes on answering.
  const std::wstring log = TempFilePath(L"lv-service-second.log");
  DWORD code = 0;
  {
    CChildProcess second(ServicePath(), L"", log);
    ASSERT_TRUE(second.Started());
    EXPECT_TRUE(second.WaitExit(15000, &code)) << "the second service went on running";
    EXPECT_EQ(code, 1u);
    EXPECT_THAT(second.Output(), ::testing::HasSubstr("another process already serves \\\\.\\Pipe\\ZelPipe"));
  }
  DeleteFileW(log.c_str());
  EXPECT_EQ(client.Status(u"C:"), 0);
  int32_t reason = -1;
  EXPECT_EQ(client.StorageAccessible(U16Str(TempFilePath(L"lv-service-second.zel")), u"", reason), 1);
}

TEST_F(DevServiceTest, AMountedDiskCannotBeMovedDeletedOrOverwrittenUntilItIsUnmounted) {
  const std::wstring path = TempFilePath(L"lv-service-held.zel");
  const std::wstring moved = path + L".moved";
  DeleteFileW(path.c_str());
  const auto expectHeld = [&path, &moved] {
    EXPECT_FALSE(MoveFileW(path.c_str(), moved.c_str()));
    EXPECT_FALSE(DeleteFileW(path.c_str()));
    HANDLE writer = CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_EQ(writer, INVALID_HANDLE_VALUE);
    if (writer != INVALID_HANDLE_VALUE) CloseHandle(writer);
  };
  ASSERT_GT(client.Mount(U16(path), u"M:", u"", u"", 0), 0);
  expectHeld();
  // Reading it stays possible, and so does asking about it.
  int32_t reason = -1;
  EXPECT_EQ(client.StorageAccessible(U16(path), u"", reason), 1);
  // The same disk by another spelling of its path is still the disk that is mounted.
  const std::wstring folder = path.substr(0, path.find_last_of(L'\\'));
  const std::wstring respelled = folder + L"\\.\\" + path.substr(folder.size() + 1);
  EXPECT_EQ(client.Mount(U16(respelled), u"N:", u"", u"", 0), 0);
  EXPECT_FALSE(DriveExists(L'N'));

  // Mounted again from the file it made, it is held the same way.
  ASSERT_EQ(client.Unmount(u"M: " + U16Str(path)), 1);
  ASSERT_GT(client.Mount(U16(path), u"M:", u"", u"", 0), 0);
  expectHeld();

  ASSERT_EQ(client.Unmount(u"M: " + U16Str(path)), 1);
  EXPECT_TRUE(MoveFileW(path.c_str(), moved.c_str()));
  EXPECT_TRUE(DeleteFileW(moved.c_str()));
}

TEST_F(DevServiceTest, CtrlCTakesItsDriveLettersAwayBeforeItEnds) {
  // The service of the other tests makes way for one with a console of its own, and comes back.
  struct Restart {
    ~Restart() { kService->Start(); }
  } restart;
  kService->Stop();
  const std::wstring log = TempFilePath(L"lv-service-ctrl-c.log");
  const std::wstring path = TempFilePath(L"lv-service-ctrl-c.zel");
  DeleteFileW(path.c_str());
  {
    CChildProcess service(ServicePath(), L"", log, CREATE_NEW_CONSOLE);
    ASSERT_TRUE(DevServiceProcess::WaitUntilServed());
    ASSERT_GT(client.Mount(U16(path), u"P:", u"", u"", 0), 0);
    ASSERT_TRUE(DriveExists(L'P'));

    DWORD code = 1;
    EXPECT_TRUE(PressCtrlC(service, 10000, &code));
    EXPECT_EQ(code, 0u) << service.Output();
    EXPECT_FALSE(DriveExists(L'P'));
    EXPECT_TRUE(DeleteFileW(path.c_str())) << "the disk file is still held";
  }
  DeleteFileW(log.c_str());
}
