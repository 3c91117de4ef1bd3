// Records how it was started, for tests that check what the program under test started: appends
// its command line (after its own name) as one UTF-8 line to the file named by LV_RECORD_FILE.
#include <windows.h>

#include <string>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR lpCmdLine, int) {
  wchar_t file[MAX_PATH] = {};
  if (GetEnvironmentVariableW(L"LV_RECORD_FILE", file, MAX_PATH) == 0) return 1;
  std::wstring line = lpCmdLine != nullptr ? lpCmdLine : L"";
  line += L'\n';
  const int size = WideCharToMultiByte(CP_UTF8, 0, line.c_str(), static_cast<int>(line.size()), nullptr, 0, nullptr, nullptr);
  std::string bytes(static_cast<size_t>(size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, line.c_str(), static_cast<int>(line.size()), &bytes[0], size, nullptr, nullptr);
  HANDLE out = CreateFileW(file, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS, 0, nullptr);
  if (out == INVALID_HANDLE_VALUE) return 1;
  DWORD written = 0;
  WriteFile(out, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  CloseHandle(out);
  return 0;
}
