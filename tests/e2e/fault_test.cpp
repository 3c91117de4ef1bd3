// A disk service that misbehaves: gone, silent, slow, busy, or answering too much, too little
// or nonsense. Every case ends in what the program shows for a failed or empty answer: a
// message, an empty list, the next page; never a crash, a hang or a lost history.
#include <windows.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <future>
#include <memory>

#include "tests/e2e/journey.h"
#include "tests/e2e/pages.h"
#include "tools/scripted_service.h"

using ::testing::ElementsAre;

namespace {

constexpr wchar_t kNoDrives[] = L"No drives are currently mounted";

class FaultJourney : public ::testing::Test {
 protected:
  void SetUp() override { DeleteHistoryValue(); }
  void TearDown() override { DeleteHistoryValue(); }

  void Serve(CScriptedService::Script script, DWORD maxInstances = PIPE_UNLIMITED_INSTANCES) {
    service = std::make_unique<CScriptedService>(std::move(script), maxInstances);
    ASSERT_TRUE(service->Start());
  }
  std::vector<std::string> Requests() const { return service->Requests(); }

  // The Disconnect page in list mode: the text of its read-only box, or its list.
  HWND OpenDisconnectList() {
    if (!program.Start(L"/u")) return nullptr;
    return WaitFor(program, IsUnmountPage);
  }

  // A file given on the command line that the service cannot be asked about: the program
  // says so and ends with E_INVALIDARG.
  void ExpectFileError() {
    const MessageBoxInfo box = WaitForMessageBox(program.Pid(), kWindowTimeoutMs);
    ASSERT_NE(box.hwnd, nullptr);
    EXPECT_EQ(box.caption, L"File Error");
    ASSERT_TRUE(AnswerMessageBox(box, IDOK));
    EXPECT_EQ(static_cast<DWORD>(ExitCodeOf(program)), static_cast<DWORD>(E_INVALIDARG));
  }

  std::unique_ptr<CScriptedService> service;
  CProgram program;
};

CScriptedService::Script ListOf(const char* listSize, const char* list) {
  return CScriptedService::ByKeyword({{"ListSize", ScriptedReply::Text(listSize)},
                                      {"List", ScriptedReply::Text(list)}});
}

}  // namespace

TEST_F(FaultJourney, AServiceThatClosesWithoutAnswerIsAFailedExchange) {
  CTempFile disk(L"lv-fault-closed.zel");
  SetHistoryValue(disk.Path() + L"\n");
  Serve([](const std::string&) { return ScriptedReply::Close(); });

  HWND page = OpenDisconnectList();
  ASSERT_NE(page, nullptr);
  EXPECT_EQ(ControlText(page, IDC_MOUNTED_ENTRY), kNoDrives);
  EXPECT_THAT(Requests(), ElementsAre(Request("ListSize\n")));
  Click(page, IDCANCEL);
  EXPECT_EQ(ExitCodeOf(program), 2);

  ASSERT_TRUE(program.Start(L"/m " + disk.Path()));
  ExpectFileError();
  EXPECT_EQ(HistoryValue(), disk.Path() + L"\n");  // nothing lost
}

TEST_F(FaultJourney, ASilentServiceHoldsTheProgramUntilItGoesAway) {
  CTempFile disk(L"lv-fault-silent.zel");
  Serve([](const std::string&) { return ScriptedReply::Hang(); });
  ASSERT_TRUE(program.Start(L"/m " + disk.Path()));
  // The probe blocks the program before any window: nothing shows while the service is silent.
  ASSERT_TRUE(service->WaitForRequests(1, kWindowTimeoutMs));
  Sleep(1000);
  EXPECT_TRUE(program.IsRunning());
  EXPECT_TRUE(TopWindows(program.Pid()).empty());
  service->Stop();
  ExpectFileError();
}

TEST_F(FaultJourney, ALateAnswerIsWaitedFor) {
  CTempFile disk(L"lv-fault-late.zel");
  Serve(CScriptedService::ByKeyword({{"StorageAccessible", ScriptedReply::Text("1\n0", 1500)}}));
  ASSERT_TRUE(program.Start(L"/m " + disk.Path()));
  HWND drivePage = WaitFor(program, IsMountDrivePage);
  ASSERT_NE(drivePage, nullptr);
  EXPECT_EQ(ControlText(drivePage, IDOK), L"Finish");
}

TEST_F(FaultJourney, RepliesWithoutNulOrTooLongAreReadUpToTheirCapacity) {
  CTempFile disk(L"lv-fault-long.zel");
  // Twenty bytes are read: "1", LF and eighteen more digits of a number too large to be a reason.
  Serve(CScriptedService::ByKeyword({{"StorageAccessible", ScriptedReply::Raw("1\n000000000000000000004 and more")}}));
  ASSERT_TRUE(program.Start(L"/m " + disk.Path()));
  HWND drivePage = WaitFor(program, IsMountDrivePage);
  ASSERT_NE(drivePage, nullptr);
  EXPECT_EQ(ControlText(drivePage, IDOK), L"Finish");  // accepted, no passphrase needed
}

TEST_F(FaultJourney, NonsenseAnswersReadAsZero) {
  CTempFile disk(L"lv-fault-nonsense.zel");
  Serve(CScriptedService::ByKeyword({{"StorageAccessible", ScriptedReply::Text("yes, sure")},
                                     {"ListSize", ScriptedReply::Text("lots")}}));
  ASSERT_TRUE(program.Start(L"/m " + disk.Path()));
  ExpectFileError();

  HWND page = OpenDisconnectList();
  ASSERT_NE(page, nullptr);
  EXPECT_EQ(ControlText(page, IDC_MOUNTED_ENTRY), kNoDrives);
}

TEST_F(FaultJourney, AListSizeThatIsNoSizeMeansNoDisks) {
  for (const char* size : {"0", "-5", "2000000", "2147483647"}) {
    Serve(ListOf(size, "E:\tC:\\disks\\e.zel\t1\n"));
    HWND page = OpenDisconnectList();
    ASSERT_NE(page, nullptr) << size;
    EXPECT_EQ(ControlText(page, IDC_MOUNTED_ENTRY), kNoDrives) << size;
    EXPECT_FALSE(IsControlEnabled(page, IDOK));
    EXPECT_THAT(Requests(), ElementsAre(Request("ListSize\n"))) << size;
    Click(page, IDCANCEL);
    EXPECT_EQ(ExitCodeOf(program), 2);
  }
}

TEST_F(FaultJourney, AListLongerOrShorterThanAnnouncedShowsWhatFits) {
  const std::string list = "E:\tC:\\disks\\e.zel\t1\nG:\tC:\\disks\\g.zel\t2\n";
  // Announced too small: the second line is cut to two fields and left out.
  Serve(ListOf(std::to_string(list.find('G') + 8).c_str(), list.c_str()));
  HWND page = OpenDisconnectList();
  ASSERT_NE(page, nullptr);
  EXPECT_THAT(ComboItems(page, IDC_DRIVE), ElementsAre(L"E: C:\\disks\\e.zel"));
  Click(page, IDCANCEL);
  EXPECT_EQ(ExitCodeOf(program), 2);

  // Announced too large: everything the service sent is shown.
  Serve(ListOf("500", list.c_str()));
  page = OpenDisconnectList();
  ASSERT_NE(page, nullptr);
  EXPECT_THAT(ComboItems(page, IDC_DRIVE), ElementsAre(L"E: C:\\disks\\e.zel", L"G: C:\\disks\\g.zel"));
}

TEST_F(FaultJourney, ABusyServiceIsNotWaitedFor) {
  // The only pipe instance is held by another client that the service never answers.
  Serve([](const std::string&) { return ScriptedReply::Hang(); }, 1);
  auto holder = std::async(std::launch::async, [] {
    HANDLE pipe = CreateFileA("\\\\.\\Pipe\\ZelPipe", GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    DWORD done = 0;
    char reply[8];
    WriteFile(pipe, "Status\nE:\n", 11, &done, nullptr);
    ReadFile(pipe, reply, sizeof reply, &done, nullptr);  // until the service goes away
    CloseHandle(pipe);
  });
  ASSERT_TRUE(service->WaitForRequests(1, kWindowTimeoutMs));

  const DWORD started = GetTickCount();
  HWND page = OpenDisconnectList();
  ASSERT_NE(page, nullptr);
  EXPECT_EQ(ControlText(page, IDC_MOUNTED_ENTRY), kNoDrives);
  EXPECT_LT(GetTickCount() - started, 5000u);
  EXPECT_EQ(Requests().size(), 1u);  // the program never got through
  service->Stop();
  holder.wait();
}
