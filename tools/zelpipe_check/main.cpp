// zelpipe-check: checks whatever serves \\.\Pipe\ZelPipe against the disk service's protocol
// and prints one line per check ("PASS name" or "FAIL name: why"), then "N passed, M failed".
// Exit code 0 when every check passed, 1 when one failed, 2 for a wrong command line.
//   zelpipe-check [--lifecycle FOLDER] [--timeout MS]
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <cwchar>
#include <string>

#include "common/printable.h"
#include "common/text.h"
#include "common/wide.h"
#include "tools/zelpipe_check/conformance.h"
#include "tools/zelpipe_check/probe_win32.h"

namespace {

constexpr DWORD kDefaultTimeoutMs = 5000;

const char kUsage[] =
    "usage: zelpipe-check [--lifecycle FOLDER] [--timeout MS]\n"
    "  Checks the process that serves \\\\.\\Pipe\\ZelPipe against the disk service protocol.\n"
    "  --lifecycle FOLDER  also create a disk of its own in FOLDER, mount it on a free drive letter,\n"
    "                      find it in List and Status, unmount it and remove it again\n"
    "  --timeout MS        how long to wait for a reply (default 5000)\n"
    "  Prints PASS or FAIL per check and \"N passed, M failed\"; exit code 0 only when all pass.\n";

bool IsFolder(const std::wstring& path) {
  const DWORD attributes = ::GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

std::wstring WithSlash(std::wstring folder) {
  if (!folder.empty() && folder.back() != L'\\' && folder.back() != L'/') folder += L'\\';
  return folder;
}

std::wstring FullPath(const std::wstring& path) {
  wchar_t full[MAX_PATH] = {};
  const DWORD length = ::GetFullPathNameW(path.c_str(), MAX_PATH, full, nullptr);
  return length > 0 && length < MAX_PATH ? std::wstring(full, length) : path;
}

// A name in folder that nothing has yet: stem-PID.ext, or with a number after it.
std::wstring FreeName(const std::wstring& folder, const std::wstring& stem, const std::wstring& extension) {
  const std::wstring base = WithSlash(folder) + stem + L"-" + std::to_wstring(::GetCurrentProcessId());
  std::wstring path = base + extension;
  for (int n = 2; ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; ++n) {
    path = base;
    path += L"-" + std::to_wstring(n) + extension;
  }
  return path;
}

bool WriteTextFile(const std::wstring& path, const char* text) {
  HANDLE file = ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  const DWORD size = static_cast<DWORD>(std::strlen(text));
  const bool ok = ::WriteFile(file, text, size, &written, nullptr) && written == size;
  ::CloseHandle(file);
  return ok;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  std::wstring lifecycleFolder;
  DWORD timeoutMs = kDefaultTimeoutMs;
  for (int i = 1; i < argc; ++i) {
    const std::wstring arg = argv[i];
    if (arg == L"--lifecycle" && i + 1 < argc) {
      lifecycleFolder = FullPath(argv[++i]);
    } else if (arg == L"--timeout" && i + 1 < argc && std::wcstoul(argv[i + 1], nullptr, 10) > 0) {
      timeoutMs = static_cast<DWORD>(std::wcstoul(argv[++i], nullptr, 10));
    } else {
      std::fputs(kUsage, arg == L"--help" || arg == L"/?" ? stdout : stderr);
      return arg == L"--help" || arg == L"/?" ? 0 : 2;
    }
  }
  if (!lifecycleFolder.empty() && !IsFolder(lifecycleFolder)) {
    std::fprintf(stderr, "zelpipe-check: %s is not a folder\n", PrintableText(ToUtf8(U16(lifecycleFolder))).c_str());
    return 2;
  }

  // The checks' own files, in a folder of their own: where the lifecycle runs (a folder the
  // service can surely reach), else in the temporary folder.
  wchar_t temp[MAX_PATH] = {};
  ::GetTempPathW(MAX_PATH, temp);
  const std::wstring scratch = FreeName(lifecycleFolder.empty() ? temp : lifecycleFolder, L"zelpipe-check", L"");
  CheckPlan plan;
  plan.folder = U16Str(scratch);
  plan.noDiskFile = U16Str(scratch + L"\\no disk.txt");
  plan.creatablePath = U16Str(scratch + L"\\new disk.zel");
  if (!::CreateDirectoryW(scratch.c_str(), nullptr) ||
      !WriteTextFile(WStr(plan.noDiskFile), "This is a text file, not a disk of any kind.\r\n")) {
    std::fprintf(stderr, "zelpipe-check: cannot make its files in %s\n", PrintableText(ToUtf8(U16(scratch))).c_str());
    ::RemoveDirectoryW(scratch.c_str());
    return 2;
  }
  if (!lifecycleFolder.empty()) plan.lifecyclePath = U16Str(FreeName(lifecycleFolder, L"zelpipe-check", L".zel"));

  CWin32Probe probe(timeoutMs);
  int passed = 0;
  int failed = 0;
  RunConformanceChecks(probe, plan, [&](const CheckResult& result) {
    if (result.passed) {
      ++passed;
      std::printf("PASS %s\n", result.name.c_str());
    } else {
      ++failed;
      std::printf("FAIL %s: %s\n", result.name.c_str(), PrintableText(result.why).c_str());
    }
    std::fflush(stdout);
  }, [](const std::string& line) {
    std::printf("%s\n", PrintableText(line).c_str());
    std::fflush(stdout);
  });
  std::printf("%d passed, %d failed\n", passed, failed);

  ::DeleteFileW(WStr(plan.noDiskFile).c_str());
  ::DeleteFileW(WStr(plan.creatablePath).c_str());
  ::RemoveDirectoryW(scratch.c_str());
  return failed == 0 ? 0 : 1;
}
