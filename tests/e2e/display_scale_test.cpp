// The program at 100, 125, 150 and 200 % display scale: one walk over every window per scale,
// measured from inside the program by the window probe (window_probe.h): every label and
// button text fits its control in the font the control draws it with, the program's own fonts
// and its icons have the sizes the scale asks for, and the program declares itself aware of
// the system's DPI.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "tests/e2e/journey.h"
#include "tests/e2e/pages.h"
#include "tests/e2e/window_probe.h"
#include "tests/win/test_paths.h"
#include "tools/scripted_service.h"

namespace {

constexpr int kSystemAware = 1;
constexpr DWORD kProbeTimeoutMs = 5000;

// The screen's DPI for programs started while the object lives. Wine reads LogPixels when a
// process starts. Without DpiScalingVer it makes every program aware of the DPI, whatever it
// declares; with it, as on Windows, only those whose manifest says so.
class CScreenDpi {
 public:
  explicit CScreenDpi(DWORD dpi) {
    RegCreateKeyExW(HKEY_CURRENT_USER, L"Control Panel\\Desktop", 0, nullptr, 0, KEY_READ | KEY_WRITE, nullptr, &m_key,
                    nullptr);
    Set(L"LogPixels", dpi);
    Set(L"DpiScalingVer", 0x1000);
  }
  ~CScreenDpi() {
    RegDeleteValueW(m_key, L"LogPixels");
    RegDeleteValueW(m_key, L"DpiScalingVer");
    RegCloseKey(m_key);
  }
  CScreenDpi(const CScreenDpi&) = delete;
  CScreenDpi& operator=(const CScreenDpi&) = delete;

 private:
  void Set(const wchar_t* name, DWORD value) {
    RegSetValueExW(m_key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
  }
  HKEY m_key = nullptr;
};

// Hooks the probe DLL into the thread of a program window and measures windows of that thread.
class CWindowProbe {
 public:
  CWindowProbe()
      : m_memory(CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, sizeof(WindowMeasures),
                                    kProbeMemoryName)),
        m_message(RegisterWindowMessageW(kProbeMessageName)),
        m_dll(LoadLibraryW(PathBesideProgram(L"window_probe.dll").c_str())) {}
  ~CWindowProbe() {
    if (m_hook != nullptr) UnhookWindowsHookEx(m_hook);
    if (m_dll != nullptr) FreeLibrary(m_dll);
    if (m_memory != nullptr) CloseHandle(m_memory);
  }
  CWindowProbe(const CWindowProbe&) = delete;
  CWindowProbe& operator=(const CWindowProbe&) = delete;

  bool Attach(HWND window) {
    auto hook = reinterpret_cast<HOOKPROC>(reinterpret_cast<void*>(GetProcAddress(m_dll, kProbeHookName)));
    if (hook == nullptr) return false;
    m_hook = SetWindowsHookExW(WH_CALLWNDPROC, hook, m_dll, GetWindowThreadProcessId(window, nullptr));
    return m_hook != nullptr;
  }

  WindowMeasures Measure(HWND window) {
    WindowMeasures measures{};
    auto* shared = static_cast<WindowMeasures*>(MapViewOfFile(m_memory, FILE_MAP_WRITE, 0, 0, sizeof measures));
    if (shared == nullptr) return measures;
    shared->measured = FALSE;
    DWORD_PTR ignored = 0;
    SendMessageTimeoutW(window, m_message, 0, 0, SMTO_ABORTIFHUNG, kProbeTimeoutMs, &ignored);
    measures = *shared;
    UnmapViewOfFile(shared);
    return measures;
  }

 private:
  HANDLE m_memory;
  UINT m_message;
  HMODULE m_dll;
  HHOOK m_hook = nullptr;
};

const ControlMeasures* Find(const WindowMeasures& window, int id) {
  for (int i = 0; i < window.count; ++i) {
    if (window.controls[i].id == id) return &window.controls[i];
  }
  return nullptr;
}

std::string Utf8(const wchar_t* text) { return std::string(text, text + wcslen(text)); }

class DisplayScaleJourney : public ::testing::TestWithParam<int> {
 protected:
  void TearDown() override { DeleteHistoryValue(); }
  int Scaled(int pixelsAt96) const { return MulDiv(pixelsAt96, GetParam(), 96); }

  // What holds for every window: the program runs at the set DPI, aware of it, and each label
  // and button text fits its control.
  void ExpectWindowAtScale(const WindowMeasures& window, const char* name) const {
    SCOPED_TRACE(name);
    ASSERT_TRUE(window.measured);
    EXPECT_EQ(window.dpi, GetParam());
    EXPECT_EQ(window.dpiAwareness, kSystemAware);
    for (int i = 0; i < window.count; ++i) {
      const ControlMeasures& control = window.controls[i];
      const bool isStatic = lstrcmpiW(control.className, L"Static") == 0;
      const bool isButton = lstrcmpiW(control.className, L"Button") == 0;
      const DWORD buttonType = control.style & BS_TYPEMASK;
      if (control.text[0] == L'\0' || !(isStatic || isButton) || buttonType == BS_GROUPBOX) continue;
      SCOPED_TRACE("control " + std::to_string(control.id) + " \"" + Utf8(control.text) + "\"");
      int room = control.client.cx;
      if (buttonType == BS_CHECKBOX || buttonType == BS_AUTOCHECKBOX) room -= window.checkBoxSize;
      if (isButton && buttonType <= BS_DEFPUSHBUTTON) room -= 2 * Scaled(2);  // the button's raised edge
      EXPECT_LE(control.textExtent.cx, room);
      EXPECT_LE(control.textExtent.cy, control.client.cy);
    }
  }

  void ExpectFont(const WindowMeasures& window, int id, int heightAt96, int weight) const {
    const ControlMeasures* control = Find(window, id);
    ASSERT_NE(control, nullptr) << id;
    EXPECT_STREQ(control->font.lfFaceName, L"Arial") << id;
    EXPECT_EQ(control->font.lfHeight, Scaled(heightAt96)) << id;
    EXPECT_EQ(control->font.lfWeight, weight) << id;
  }

  void ExpectIcon(const WindowMeasures& window, int id) const {
    const ControlMeasures* control = Find(window, id);
    ASSERT_NE(control, nullptr) << id;
    EXPECT_EQ(control->image.cx, Scaled(32)) << id;
    EXPECT_EQ(control->image.cy, Scaled(32)) << id;
  }

  // The size of the image that Windows takes from the program's icon for a wanted size: the
  // wanted size itself when the icon holds an image drawn for it, so that nothing is stretched.
  static int ImageSizeFor(int iconId, int wanted) {
    HMODULE exe = LoadLibraryExW(CProgram::ProgramPath().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    int size = 0;
    HRSRC group = FindResourceW(exe, MAKEINTRESOURCEW(iconId), MAKEINTRESOURCEW(14));  // RT_GROUP_ICON
    auto* directory = static_cast<BYTE*>(LockResource(LoadResource(exe, group)));
    const int imageId = directory ? LookupIconIdFromDirectoryEx(directory, TRUE, wanted, wanted, 0) : 0;
    HRSRC image = FindResourceW(exe, MAKEINTRESOURCEW(imageId), MAKEINTRESOURCEW(3));  // RT_ICON
    const auto* bytes = static_cast<const BYTE*>(LockResource(LoadResource(exe, image)));
    if (bytes != nullptr && memcmp(bytes, "\x89PNG", 4) == 0) {
      size = bytes[16] << 24 | bytes[17] << 16 | bytes[18] << 8 | bytes[19];  // the IHDR width
    } else if (bytes != nullptr) {
      size = reinterpret_cast<const BITMAPINFOHEADER*>(bytes)->biWidth;
    }
    FreeLibrary(exe);
    return size;
  }
};

}  // namespace

TEST_P(DisplayScaleJourney, EveryWindowFitsItsTextsFontsAndIconsToTheScale) {
  CScreenDpi screen(static_cast<DWORD>(GetParam()));
  CTempFile disk(L"lv-scale.zel");
  SetHistoryValue(disk.Path() + L"\n");
  const std::string list = "E:\t" + disk.PathUtf8() + "\t1\n";
  CScriptedService service(
      CScriptedService::ByKeyword({{"StorageAccessible", ScriptedReply::Text("0\n4")},
                                   {"ListSize", ScriptedReply::Text(std::to_string(list.size() + 1))},
                                   {"List", ScriptedReply::Text(list)}}));
  ASSERT_TRUE(service.Start());
  CWindowProbe probe;
  CProgram program;  // ends before the service it talks to

  ASSERT_TRUE(program.Start(L""));
  HWND start = WaitFor(program, IsStartWindow);
  ASSERT_NE(start, nullptr);
  ASSERT_TRUE(probe.Attach(start));
  const WindowMeasures startWindow = probe.Measure(start);
  ExpectWindowAtScale(startWindow, "start window");
  ExpectFont(startWindow, IDC_HEADING, 20, FW_BOLD);
  for (int label : {IDC_CREATE_LABEL, IDC_MOUNT_LABEL, IDC_DISCONNECT_LABEL})
    ExpectFont(startWindow, label, 18, FW_MEDIUM);
  for (int button : {IDC_CREATE, IDC_MOUNT, IDC_DISCONNECT}) ExpectIcon(startWindow, button);
  EXPECT_EQ(startWindow.bigIcon.cx, Scaled(32));
  EXPECT_EQ(startWindow.smallIcon.cx, Scaled(16));
  for (int icon : {IDI_CREATE, IDI_MOUNT, IDI_DISCONNECT, IDI_LOCKVALE})
    EXPECT_EQ(ImageSizeFor(icon, Scaled(32)), Scaled(32)) << icon;
  EXPECT_EQ(ImageSizeFor(IDI_LOCKVALE, Scaled(16)), Scaled(16));

  Click(start, ID_APP_ABOUT);
  HWND about = WaitForWindow(
      program.Pid(), [](HWND h) { return WindowText(h) == L"About"; }, kWindowTimeoutMs);
  ASSERT_NE(about, nullptr);
  const WindowMeasures aboutBox = probe.Measure(about);
  ExpectWindowAtScale(aboutBox, "About box");
  ExpectIcon(aboutBox, IDC_ABOUT_ICON);
  Click(about, IDOK);
  ASSERT_TRUE(WaitHidden(about));

  // The Create wizard, with encryption on, so that every control of its passphrase page shows.
  Click(start, IDC_CREATE);
  HWND createPath = WaitFor(program, IsCreatePathPage);
  ASSERT_NE(createPath, nullptr);
  const WindowMeasures createPathPage = probe.Measure(createPath);
  ExpectWindowAtScale(createPathPage, "Create: location");
  ExpectFont(createPathPage, IDC_HEADING, 18, FW_BOLD);
  Click(createPath, IDOK);
  HWND createPassphrase = WaitFor(program, IsCreatePassphrasePage);
  ASSERT_NE(createPassphrase, nullptr);
  ClickCheckBox(createPassphrase, IDC_ENCRYPT);
  ASSERT_TRUE(WaitUntil([=] { return IsControlVisible(createPassphrase, IDC_PASSPHRASE); }, kWindowTimeoutMs));
  SetControlText(createPassphrase, IDC_PASSPHRASE, L"correct horse 42");
  SetControlText(createPassphrase, IDC_CONFIRM, L"correct horse 42");
  ExpectWindowAtScale(probe.Measure(createPassphrase), "Create: passphrase");
  Click(createPassphrase, IDOK);
  HWND createDrive = WaitFor(program, IsCreateDrivePage);
  ASSERT_NE(createDrive, nullptr);
  ExpectWindowAtScale(probe.Measure(createDrive), "Create: drive");
  Click(createDrive, IDCANCEL);
  ASSERT_TRUE(WaitGone(createDrive));

  // The Mount wizard on the recent (encrypted) disk: location, drive and passphrase pages.
  Click(start, IDC_MOUNT);
  HWND mountPath = WaitFor(program, IsMountPathPage);
  ASSERT_NE(mountPath, nullptr);
  SelectComboItem(mountPath, IDC_LOCATION, 1);
  ASSERT_TRUE(WaitUntil([=] { return IsControlEnabled(mountPath, IDOK); }, kWindowTimeoutMs));
  ExpectWindowAtScale(probe.Measure(mountPath), "Mount: location");
  Click(mountPath, IDOK);
  HWND mountDrive = WaitFor(program, IsMountDrivePage);
  ASSERT_NE(mountDrive, nullptr);
  ExpectWindowAtScale(probe.Measure(mountDrive), "Mount: drive");
  Click(mountDrive, IDOK);
  HWND mountPassphrase = WaitFor(program, IsMountPassphrasePage);
  ASSERT_NE(mountPassphrase, nullptr);
  ExpectWindowAtScale(probe.Measure(mountPassphrase), "Mount: passphrase");
  Click(mountPassphrase, IDCANCEL);
  ASSERT_TRUE(WaitGone(mountPassphrase));

  Click(start, IDC_DISCONNECT);
  HWND unmount = WaitFor(program, IsUnmountPage);
  ASSERT_NE(unmount, nullptr);
  ExpectWindowAtScale(probe.Measure(unmount), "Disconnect");
  Click(unmount, IDCANCEL);
  ASSERT_TRUE(WaitGone(unmount));

  Click(start, IDCANCEL);
  EXPECT_EQ(ExitCodeOf(program), 2);
}

INSTANTIATE_TEST_SUITE_P(Scales, DisplayScaleJourney, ::testing::Values(96, 120, 144, 192),
                         [](const ::testing::TestParamInfo<int>& scale) {
                           return std::to_string(scale.param) + "Dpi";
                         });
