// The program's entry: start-up, the command line, the first window, the message loop, and the
// exit code.
#include <windows.h>

#include <commctrl.h>
#include <objbase.h>
#include <shlwapi.h>

#include "common/unique_file_name.h"
#include "common/unique_file_name_win32.h"
#include "common/wide.h"
#include "framework/app_module.h"
#include "framework/message_loop.h"
#include "framework/system_library.h"
#include "utility/command_line.h"
#include "utility/full_path.h"
#include "utility/main_dlg.h"
#include "utility/message_box.h"
#include "utility/wizard.h"

namespace {

bool WindowsVersionSupported() {
  OSVERSIONINFOW version{};
  version.dwOSVersionInfoSize = sizeof version;
  if (!::GetVersionExW(&version)) return false;
  return IsSupportedWindowsVersion(version.dwPlatformId, version.dwMajorVersion, version.dwMinorVersion);
}

std::wstring ProgramFileName() {
  wchar_t path[MAX_PATH] = {};
  ::GetModuleFileNameW(nullptr, path, MAX_PATH);
  return ::PathFindFileNameW(path);
}

// A path goes on fully qualified: the service, another process, has another current folder. A
// path that only its full form makes too long is refused like any other too long path.
void MakeArgumentFull(StartRequest& request) {
  const std::wstring full = FullPath(WStr(request.argument));
  if (full.size() > kMaxArgumentLength) {
    request.argumentTooLong = true;
  } else {
    request.argument = U16Str(full);
  }
}

// A folder to create in becomes a free new disk name in it. A folder that leaves no room for the
// name is refused like any other too long path: the name cut to fit would be some other file's.
void ProposeNewDiskIn(StartRequest& request) {
  wchar_t buffer[kMaxArgumentLength + 1] = {};
  request.argument.copy(reinterpret_cast<char16_t*>(buffer), kMaxArgumentLength);
  MakeUniqueFileName(buffer, kMaxArgumentLength + 1, W(kDefaultDiskFileName));
  request.argument = U16(buffer);
  request.argumentTooLong = request.argument.empty();
}

// Opens the first window the request asks for and runs the loop while it is up; returns the
// exit code.
int RunFirstWindow(const StartRequest& request, int showCommand) {
  wchar_t buffer[kMaxArgumentLength + 1] = {};
  request.argument.copy(reinterpret_cast<char16_t*>(buffer), kMaxArgumentLength);

  CMessageLoop loop;
  g_appModule.AddMessageLoop(&loop);
  int exitCode = 0;
  HRESULT started = S_OK;
  CMainDlg mainDlg;
  switch (ChooseStartAction(request)) {
    case StartAction::CreateWizard:
      if (buffer[0] == L'\0') {
        // Without a location the new disk goes where the start window would put it.
        const std::wstring path = DefaultNewDiskPath();
        path.copy(buffer, kMaxArgumentLength);
      }
      started = StartCreateWizard(buffer, 1);
      break;
    case StartAction::MountWizard:
      started = StartMountWizard(buffer, 1);
      break;
    case StartAction::UnmountWizard:
      started = StartUnmountWizard(buffer, 1);
      break;
    case StartAction::RefuseArgument:
      ShowMessage(kArgumentTooLong);
      started = E_INVALIDARG;
      break;
    case StartAction::StartWindow:
    case StartAction::Help:
      if (mainDlg.Create(nullptr) == nullptr) {
        started = S_FALSE;  // no window, no loop, exit code 0
      } else {
        mainDlg.ShowWindow(showCommand);
      }
      break;
  }
  if (started == S_OK) {
    exitCode = loop.Run();
  } else if (FAILED(started)) {
    exitCode = static_cast<int>(started);
  }
  g_appModule.RemoveMessageLoop();
  return exitCode;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE hInstance, HINSTANCE, LPWSTR lpCmdLine, int nShowCmd) {
  // Before anything can make the system load a DLL for us.
  RestrictDllSearch();
  ::CoInitialize(nullptr);
  INITCOMMONCONTROLSEX controls{sizeof controls, ICC_BAR_CLASSES};
  ::InitCommonControlsEx(&controls);
  g_appModule.Init(hInstance);

  int exitCode = 0;
  if (!WindowsVersionSupported()) {
    ShowMessage(kVersionNotSupported);
  } else {
    StartRequest request = ReadCommandLine(U16(lpCmdLine));
    if (request.help) {
      ShowMessage(kHelp, HelpText(U16(ProgramFileName())));
    } else {
      if (ArgumentIsPath(request)) MakeArgumentFull(request);
      if (ChooseStartAction(request) == StartAction::CreateWizard && !request.argument.empty() &&
          ::PathIsDirectoryW(W(request.argument.c_str()))) {
        ProposeNewDiskIn(request);
      }
      exitCode = RunFirstWindow(request, nShowCmd);
    }
  }

  g_appModule.Term();
  ::CoUninitialize();
  return exitCode;
}
