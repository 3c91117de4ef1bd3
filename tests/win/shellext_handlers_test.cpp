// The three context-menu handlers through the real ZelToolExt.dll: what Initialize decides with
// a real file list, folder and disk service, the menu item, the help texts, and the exact
// command line a click starts.
#include <windows.h>
#include <shlobj.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <memory>

#include "tests/win/shellext_host.h"
#include "tools/scripted_service.h"

using ::testing::ElementsAre;
using ::testing::IsEmpty;

namespace {

constexpr DWORD kLaunchMs = 10000;  // a started program has recorded itself well within this
constexpr DWORD kQuietMs = 1500;    // and when nothing was recorded after this, nothing was started

std::string Request(const std::string& text) { return text + std::string(1, '\0'); }

template <typename Fn>
DWORD Elapsed(Fn fn) {
  const DWORD start = GetTickCount();
  fn();
  return GetTickCount() - start;
}

class ShellextHandlers : public ::testing::Test {
 protected:
  void SetUp() override {
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    ASSERT_TRUE(host.Loaded()) << Utf8(CShellextHost::DefaultPath());
  }
  void TearDown() override { CoUninitialize(); }

  std::unique_ptr<CScriptedService> ServeStatus(const ScriptedReply& reply) {
    auto service = std::make_unique<CScriptedService>([reply](const std::string&) { return reply; });
    EXPECT_TRUE(service->Start());
    return service;
  }

  // A handler initialised the way the shell does it for its registration.
  CHandler WithFiles(REFCLSID clsid, const std::vector<std::wstring>& files, HRESULT* hr) {
    CHandler handler = CreateHandler(host, clsid);
    *hr = handler.init ? handler.init->Initialize(nullptr, FileListData(files).get(), nullptr) : E_FAIL;
    return handler;
  }
  CHandler WithFolder(PCIDLIST_ABSOLUTE folder, HRESULT* hr) {
    CHandler handler = CreateHandler(host, kCreateClass);
    *hr = handler.init ? handler.init->Initialize(folder, nullptr, nullptr) : E_FAIL;
    return handler;
  }

  CShellextHost host;
};

}  // namespace

TEST_F(ShellextHandlers, MountOffersTheFirstSelectedFileAndStartsTheProgramWithItUnquoted) {
  CLaunchRecord record;
  const std::wstring recorder = CLaunchRecord::RecorderCommand();
  COpenCommand command(&recorder);
  auto service = ServeStatus(ScriptedReply::Text("0"));
  HRESULT hr = E_FAIL;
  CHandler handler = WithFiles(kMountClass, {L"D:\\Disks\\Project Data.zel", L"C:\\b.zel", L"E:\\c.zel"}, &hr);
  ASSERT_EQ(hr, S_OK);
  EXPECT_THAT(service->Requests(), ElementsAre(Request("Status\nD:\n")));

  const CMenuOutcome menu = BuildMenu(handler.menu.get());
  EXPECT_EQ(menu.hr, MAKE_HRESULT(SEVERITY_SUCCESS, 0, 1));
  EXPECT_THAT(menu.texts, ElementsAre(L"Mount File As a Virtual Disk"));
  EXPECT_THAT(menu.ids, ElementsAre(kFirstCommandId));
  EXPECT_EQ(Invoke(handler.menu.get(), MAKEINTRESOURCEA(0)), S_OK);
  EXPECT_THAT(record.WaitForLines(1, kLaunchMs), ElementsAre("/m D:\\Disks\\Project Data.zel"));
}

TEST_F(ShellextHandlers, MountIsHiddenOnlyForAFileOnAMountedVirtualDisk) {
  HRESULT hr = E_FAIL;
  WithFiles(kMountClass, {L"D:\\a.zel"}, &hr);  // no service: not a mounted disk
  EXPECT_EQ(hr, S_OK);

  auto service = ServeStatus(ScriptedReply::Text("1"));
  WithFiles(kMountClass, {L"E:\\a.zel"}, &hr);
  EXPECT_EQ(hr, E_INVALIDARG);
  WithFiles(kMountClass, {L"\\\\server\\share\\a.zel"}, &hr);  // asks nobody
  EXPECT_EQ(hr, S_OK);
  EXPECT_THAT(service->Requests(), ElementsAre(Request("Status\nE:\n")));
}

TEST_F(ShellextHandlers, AFileListThatCannotBeReadKeepsTheItemOff) {
  for (const CLSID& clsid : {kMountClass, kUnmountClass}) {
    CHandler handler = CreateHandler(host, clsid);
    ASSERT_TRUE(handler.init);
    EXPECT_EQ(handler.init->Initialize(nullptr, FileListData({}, false).get(), nullptr), E_INVALIDARG);
    EXPECT_EQ(handler.init->Initialize(nullptr, FileListData({}).get(), nullptr), E_INVALIDARG);
    EXPECT_EQ(handler.init->Initialize(nullptr, nullptr, nullptr), E_INVALIDARG);
  }
  // A first path of 259 characters fits; one of 260 is refused rather than cut.
  HRESULT hr = E_FAIL;
  WithFiles(kMountClass, {L"\\\\s\\" + std::wstring(251, L'a') + L".zel"}, &hr);
  EXPECT_EQ(hr, S_OK);
  WithFiles(kMountClass, {L"\\\\s\\" + std::wstring(252, L'a') + L".zel"}, &hr);
  EXPECT_EQ(hr, E_INVALIDARG);
}

TEST_F(ShellextHandlers, UnmountIsOfferedForAMountedDriveAndStartsTheProgramWithTheShellsDriveText) {
  CLaunchRecord record;
  const std::wstring recorder = CLaunchRecord::RecorderCommand();
  COpenCommand command(&recorder);
  auto service = ServeStatus(ScriptedReply::Text("1"));
  HRESULT hr = E_FAIL;
  CHandler handler = WithFiles(kUnmountClass, {L"E:\\"}, &hr);
  ASSERT_EQ(hr, S_OK);
  EXPECT_THAT(service->Requests(), ElementsAre(Request("Status\nE:\\\n")));

  const CMenuOutcome menu = BuildMenu(handler.menu.get(), CMF_NORMAL, 1, 2);
  EXPECT_THAT(menu.texts, ElementsAre(L"Existing 0", L"Unmount Virtual Disk", L"Existing 1"));
  EXPECT_EQ(menu.ids[1], kFirstCommandId);
  EXPECT_EQ(Invoke(handler.menu.get(), MAKEINTRESOURCEA(0)), S_OK);
  EXPECT_THAT(record.WaitForLines(1, kLaunchMs), ElementsAre("/u E:\\"));
}

TEST_F(ShellextHandlers, UnmountIsNotOfferedForDrivesTheServiceDoesNotReport) {
  HRESULT hr = S_OK;
  WithFiles(kUnmountClass, {L"E:\\"}, &hr);  // no service at all
  EXPECT_EQ(hr, E_INVALIDARG);
  auto service = ServeStatus(ScriptedReply::Text("0"));
  WithFiles(kUnmountClass, {L"F:"}, &hr);
  EXPECT_EQ(hr, E_INVALIDARG);
  WithFiles(kUnmountClass, {L"E:\\Disks"}, &hr);  // not a drive: nobody is asked
  EXPECT_EQ(hr, E_INVALIDARG);
  EXPECT_THAT(service->Requests(), ElementsAre(Request("Status\nF:\n")));
}

TEST_F(ShellextHandlers, CreateProposesTheFirstFreeNameInTheFolder) {
  CLaunchRecord record;
  const std::wstring recorder = CLaunchRecord::RecorderCommand();
  COpenCommand command(&recorder);
  CTempFolder folder(L"lv-create-" + std::to_wstring(GetCurrentProcessId()),
                     {L"My Virtual Disk.zel", L"My Virtual Disk 1.zel"});
  auto service = ServeStatus(ScriptedReply::Text("0"));
  const CPidl pidl = PidlOfPath(folder.Path());
  HRESULT hr = E_FAIL;
  CHandler handler = WithFolder(pidl.get(), &hr);
  ASSERT_EQ(hr, S_OK);
  EXPECT_THAT(service->Requests(), ElementsAre(Request("Status\n" + Utf8(folder.Path().substr(0, 2)) + "\n")));

  EXPECT_THAT(BuildMenu(handler.menu.get()).texts, ElementsAre(L"Create a new Virtual Disk"));
  EXPECT_EQ(Invoke(handler.menu.get(), MAKEINTRESOURCEA(0)), S_OK);
  EXPECT_THAT(record.WaitForLines(1, kLaunchMs), ElementsAre("/c " + Utf8(folder.File(L"My Virtual Disk 2.zel"))));
}

TEST_F(ShellextHandlers, CreateIsNotOfferedOnAMountedDiskNorOutsideTheFileSystem) {
  CTempFolder folder(L"lv-create-mounted-" + std::to_wstring(GetCurrentProcessId()));
  auto service = ServeStatus(ScriptedReply::Text("1"));
  HRESULT hr = S_OK;
  WithFolder(PidlOfPath(folder.Path()).get(), &hr);
  EXPECT_EQ(hr, E_INVALIDARG);
  const CPidl computer = PidlOfSpecialFolder(CSIDL_DRIVES);  // a virtual folder without a path
  ASSERT_NE(computer, nullptr);
  WithFolder(computer.get(), &hr);
  EXPECT_EQ(hr, E_INVALIDARG);
  WithFolder(nullptr, &hr);
  EXPECT_EQ(hr, E_INVALIDARG);
  EXPECT_EQ(service->Requests().size(), 1u);
}

TEST_F(ShellextHandlers, HelpTextsComeInWideAndAnsiFormCutToTheBuffer) {
  const std::pair<CLSID, std::wstring> handlers[] = {
      {kMountClass, L"Mount the file as a virtual disk drive"},
      {kUnmountClass, L"Unmount the virtual disk drive"},
      {kCreateClass, L"Create a new virtual disk file and mount it as a virtual drive"},
  };
  for (const auto& [clsid, help] : handlers) {
    CHandler handler = CreateHandler(host, clsid);
    ASSERT_TRUE(handler.menu);
    IContextMenu* menu = handler.menu.get();
    std::wstring wide;
    std::string ansi;
    // Wide verb and validation requests are answered with the help text as well.
    for (UINT type : {GCS_HELPTEXTW, GCS_VERBW, GCS_VALIDATEW}) {
      EXPECT_EQ(CommandStringW(menu, type, 100, wide), S_OK);
      EXPECT_EQ(wide.c_str(), help);
    }
    EXPECT_EQ(CommandStringA(menu, GCS_HELPTEXTA, 100, ansi), S_OK);
    EXPECT_EQ(ansi.c_str(), Utf8(help));
    // cchMax counts the NUL, and nothing is written past it.
    EXPECT_EQ(CommandStringW(menu, GCS_HELPTEXTW, 10, wide), S_OK);
    EXPECT_EQ(wide, help.substr(0, 9) + L'\0' + L"####");
    EXPECT_EQ(CommandStringA(menu, GCS_HELPTEXTA, 10, ansi), S_OK);
    EXPECT_EQ(ansi, Utf8(help.substr(0, 9)) + '\0' + "####");

    EXPECT_EQ(CommandStringA(menu, GCS_VERBA, 100, ansi), E_INVALIDARG);
    EXPECT_EQ(CommandStringA(menu, GCS_VALIDATEA, 100, ansi), E_INVALIDARG);
    EXPECT_EQ(CommandStringW(menu, GCS_HELPTEXTW, 100, wide, 1), E_INVALIDARG);

    const CMenuOutcome defaultOnly = BuildMenu(menu, CMF_DEFAULTONLY);
    EXPECT_EQ(defaultOnly.hr, S_OK);
    EXPECT_THAT(defaultOnly.texts, IsEmpty());
  }
}

TEST_F(ShellextHandlers, ClicksThatStartNothing) {
  CLaunchRecord record;
  HRESULT hr = E_FAIL;
  const std::wstring recorder = CLaunchRecord::RecorderCommand();
  {
    // Only the integer command 0 is ours.
    COpenCommand command(&recorder);
    CHandler handler = WithFiles(kMountClass, {L"\\\\server\\share\\a.zel"}, &hr);
    EXPECT_EQ(Invoke(handler.menu.get(), "open"), E_INVALIDARG);
    EXPECT_EQ(Invoke(handler.menu.get(), MAKEINTRESOURCEA(1)), E_INVALIDARG);
    EXPECT_EQ(handler.menu->InvokeCommand(nullptr), E_INVALIDARG);
  }
  // No open command, or an expandable one: the item is there, the click fails.
  for (DWORD type : {DWORD{REG_NONE}, DWORD{REG_EXPAND_SZ}}) {
    COpenCommand command(type == REG_NONE ? nullptr : &recorder, type);
    CHandler handler = WithFiles(kMountClass, {L"\\\\server\\share\\a.zel"}, &hr);
    EXPECT_EQ(hr, S_OK);
    EXPECT_EQ(BuildMenu(handler.menu.get()).texts.size(), 1u);
    EXPECT_EQ(Invoke(handler.menu.get(), MAKEINTRESOURCEA(0)), E_INVALIDARG);
  }
  {
    // An unquoted program path with a blank is cut at the blank; the start fails unseen.
    const std::wstring unquoted = L"C:\\Program Files\\Tools\\Lockvale.exe";
    COpenCommand command(&unquoted);
    CHandler handler = WithFiles(kMountClass, {L"\\\\server\\share\\a.zel"}, &hr);
    EXPECT_EQ(hr, S_OK);
    EXPECT_EQ(Invoke(handler.menu.get(), MAKEINTRESOURCEA(0)), S_OK);
  }
  EXPECT_THAT(record.WaitForLines(1, kQuietMs), IsEmpty());
}

TEST_F(ShellextHandlers, AServiceThatNeverAnswersHoldsTheMenuNoLongerThanTheBound) {
  auto service = ServeStatus(ScriptedReply::Hang());
  HRESULT unmount = S_OK;
  HRESULT mount = E_FAIL;
  const DWORD unmountMs = Elapsed([&] { WithFiles(kUnmountClass, {L"E:\\"}, &unmount); });
  const DWORD mountMs = Elapsed([&] { WithFiles(kMountClass, {L"D:\\a.zel"}, &mount); });
  // A time-out is a failed exchange, which reads as "not a mounted disk".
  EXPECT_EQ(unmount, E_INVALIDARG);
  EXPECT_EQ(mount, S_OK);
  EXPECT_GE(unmountMs, 900u);
  EXPECT_LT(unmountMs, 2500u);
  EXPECT_LT(mountMs, 2500u);
  EXPECT_EQ(service->Requests().size(), 2u);
  service->Stop();

  // An answer within the bound counts; a later one does not.
  service.reset();
  service = ServeStatus(ScriptedReply::Text("1", 300));
  WithFiles(kUnmountClass, {L"E:\\"}, &unmount);
  EXPECT_EQ(unmount, S_OK);
  service.reset();
  service = ServeStatus(ScriptedReply::Text("1", 3000));
  EXPECT_LT(Elapsed([&] { WithFiles(kUnmountClass, {L"E:\\"}, &unmount); }), 2500u);
  EXPECT_EQ(unmount, E_INVALIDARG);
}
