// What the journeys set up around the program.
#include "tests/e2e/journey.h"

#include <shlwapi.h>
#include <winioctl.h>

#include <algorithm>
#include <cstring>
#include <cwctype>
#include <vector>

#include "tests/e2e/driver.h"
#include "tests/win/file_text.h"
#include "tests/win/test_paths.h"

namespace {

constexpr wchar_t kHistoryKey[] = L"Software\\Halvern\\Lockvale";
constexpr wchar_t kHistoryValue[] = L"FileHistory";

std::string Utf8(const std::wstring& text) {
  const int size =
      WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
  std::string bytes(static_cast<size_t>(size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), &bytes[0], size, nullptr, nullptr);
  return bytes;
}

void SetString(HKEY root, const wchar_t* path, const wchar_t* name, const std::wstring& value) {
  HKEY key = nullptr;
  RegCreateKeyExW(root, path, 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr);
  RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                 static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
  RegCloseKey(key);
}

}  // namespace

CTempFile::CTempFile(const std::wstring& name) : m_path(TempFilePath(name)) {
  HANDLE file = CreateFileW(m_path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  DWORD written = 0;
  WriteFile(file, "disk", 4, &written, nullptr);
  CloseHandle(file);
}

CTempFile::~CTempFile() { DeleteFileW(m_path.c_str()); }

std::string CTempFile::PathUtf8() const { return Utf8(m_path); }

CCurrentFolder::CCurrentFolder(const std::wstring& folder) {
  wchar_t previous[MAX_PATH] = {};
  GetCurrentDirectoryW(MAX_PATH, previous);
  m_previous = previous;
  SetCurrentDirectoryW(folder.c_str());
}

CCurrentFolder::~CCurrentFolder() { SetCurrentDirectoryW(m_previous.c_str()); }

std::wstring CCurrentFolder::Inside(const std::wstring& name) const {
  wchar_t current[MAX_PATH] = {};
  GetCurrentDirectoryW(MAX_PATH, current);
  std::wstring path = current;
  if (!path.empty() && path.back() != L'\\') path += L'\\';
  return path + name;
}

void SetHistoryValue(const std::wstring& text) { SetString(HKEY_CURRENT_USER, kHistoryKey, kHistoryValue, text); }

std::wstring HistoryValue() {
  wchar_t buffer[4096] = {};
  DWORD size = sizeof buffer - sizeof(wchar_t);
  DWORD type = 0;
  if (SHGetValueW(HKEY_CURRENT_USER, kHistoryKey, kHistoryValue, &type, buffer, &size) != ERROR_SUCCESS ||
      type != REG_SZ) {
    return L"<none>";
  }
  return buffer;
}

void DeleteHistoryValue() {
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, kHistoryKey, 0, KEY_WRITE, &key) != ERROR_SUCCESS) return;
  RegDeleteValueW(key, kHistoryValue);
  RegCloseKey(key);
}

namespace {

// Wine's mount manager defines a drive letter onto a Unix folder, the way its configuration
// tool does. Unlike DefineDosDevice, files on such a drive can be reached, which the shell
// needs before it opens the drive's root.
#pragma pack(push, 8)
struct UnixDrive {
  ULONG size;
  ULONG type;
  ULONG fsType;
  DWORD serial;
  ULONGLONG unixDevice;
  WCHAR letter;
  USHORT mountPointOffset;
  USHORT deviceOffset;
  USHORT labelOffset;
};
#pragma pack(pop)

constexpr DWORD kDefineUnixDrive = CTL_CODE('m', 32, METHOD_BUFFERED, FILE_READ_ACCESS | FILE_WRITE_ACCESS);

// unixFolder null removes the letter.
bool DefineUnixDrive(wchar_t letter, const char* unixFolder) {
  HANDLE manager = CreateFileW(L"\\\\.\\MountPointManager", GENERIC_READ | GENERIC_WRITE,
                               FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
  if (manager == INVALID_HANDLE_VALUE) return false;
  std::vector<char> buffer(sizeof(UnixDrive) + (unixFolder ? strlen(unixFolder) + 1 : 0));
  auto* drive = reinterpret_cast<UnixDrive*>(buffer.data());
  drive->size = static_cast<ULONG>(buffer.size());
  drive->type = unixFolder ? DRIVE_FIXED : DRIVE_NO_ROOT_DIR;
  drive->letter = static_cast<WCHAR>(towlower(letter));
  if (unixFolder) {
    drive->mountPointOffset = sizeof(UnixDrive);
    strcpy(buffer.data() + sizeof(UnixDrive), unixFolder);
  }
  const BOOL done = DeviceIoControl(manager, kDefineUnixDrive, buffer.data(), static_cast<DWORD>(buffer.size()),
                                    nullptr, 0, nullptr, nullptr);
  CloseHandle(manager);
  return done != FALSE;
}

}  // namespace

CDriveLetter::CDriveLetter(wchar_t letter) : m_drive{letter, L':'} {
  // Z: is the Unix root in a Wine prefix.
  const std::string folder = std::string("/tmp/lv-drive-") + static_cast<char>(towlower(letter));
  CreateDirectoryW((L"Z:" + std::wstring(folder.begin(), folder.end())).c_str(), nullptr);
  DefineUnixDrive(letter, folder.c_str());
}

CDriveLetter::~CDriveLetter() { DefineUnixDrive(m_drive[0], nullptr); }

// A file of its own for every recorder: a program started late by an earlier test must not
// write into this test's record.
COpenRecorder::COpenRecorder()
    : m_file(TempFilePath(L"") + L"lv-opened-" + std::to_wstring(GetTickCount()) + L"-" +
             std::to_wstring(reinterpret_cast<uintptr_t>(this)) + L".txt") {
  const std::wstring command = L"\"" + RecorderPath() + L"\" %1";
  SetString(HKEY_CLASSES_ROOT, L"Folder\\shell\\open\\command", nullptr, command);
  // Without DDE the shell starts the command itself instead of asking a running file manager.
  SHDeleteKeyW(HKEY_CLASSES_ROOT, L"Folder\\shell\\open\\ddeexec");
}

COpenRecorder::~COpenRecorder() { DeleteFileW(m_file.c_str()); }

std::vector<std::string> COpenRecorder::Lines() const { return FileLines(m_file); }

std::wstring RecorderPath() { return PathBesideProgram(L"..\\..\\tools\\command_recorder.exe"); }

bool SetClipboardText(const std::wstring& text) {
  // The clipboard takes data only from an owner window; another program may hold it open a moment.
  static HWND owner = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
  if (!WaitUntil([] { return OpenClipboard(owner) != FALSE; }, 5000)) return false;
  bool done = EmptyClipboard() != FALSE;
  if (done && !text.empty()) {
    const SIZE_T bytes = (text.size() + 1) * sizeof(wchar_t);
    HGLOBAL data = GlobalAlloc(GMEM_MOVEABLE, bytes);
    void* units = data != nullptr ? GlobalLock(data) : nullptr;
    done = units != nullptr;
    if (done) {
      std::memcpy(units, text.c_str(), bytes);
      GlobalUnlock(data);
      done = SetClipboardData(CF_UNICODETEXT, data) != nullptr;  // the clipboard's from here on
    }
  }
  CloseClipboard();
  return done;
}

std::vector<std::string> PiecesOf(const std::wstring& text, size_t length) {
  std::vector<std::string> pieces;
  for (size_t at = 0; at + length <= text.size(); ++at) {
    const std::wstring piece = text.substr(at, length);
    pieces.emplace_back(reinterpret_cast<const char*>(piece.data()), piece.size() * sizeof(wchar_t));
    pieces.push_back(Utf8(piece));
  }
  return pieces;
}

std::vector<std::string> FoundInMemory(DWORD pid, const std::vector<std::string>& needles) {
  std::vector<bool> found(needles.size(), false);
  // Needles by their first byte, so that one pass over the memory looks for all of them.
  std::vector<size_t> byFirstByte[256];
  for (size_t i = 0; i < needles.size(); ++i) {
    if (!needles[i].empty()) byFirstByte[static_cast<unsigned char>(needles[i][0])].push_back(i);
  }
  HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, pid);
  if (process == nullptr) return {"<the process could not be read>"};
  MEMORY_BASIC_INFORMATION region{};
  std::vector<char> page;
  for (auto* at = static_cast<char*>(nullptr); VirtualQueryEx(process, at, &region, sizeof region) == sizeof region;
       at = static_cast<char*>(region.BaseAddress) + region.RegionSize) {
    const DWORD unreadable = PAGE_NOACCESS | PAGE_GUARD;
    if (region.State != MEM_COMMIT || (region.Protect & unreadable) != 0) continue;
    page.resize(region.RegionSize);
    SIZE_T read = 0;
    if (!ReadProcessMemory(process, region.BaseAddress, page.data(), page.size(), &read)) continue;
    for (size_t offset = 0; offset < read; ++offset) {
      for (size_t i : byFirstByte[static_cast<unsigned char>(page[offset])]) {
        const std::string& needle = needles[i];
        if (!found[i] && needle.size() <= read - offset &&
            std::memcmp(&page[offset], needle.data(), needle.size()) == 0) {
          found[i] = true;
        }
      }
    }
  }
  CloseHandle(process);
  std::vector<std::string> result;
  for (size_t i = 0; i < needles.size(); ++i) {
    if (found[i]) result.push_back(needles[i]);
  }
  return result;
}
