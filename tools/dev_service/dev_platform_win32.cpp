// The development service's machine on Windows.
#include "tools/dev_service/dev_platform_win32.h"

#include <windows.h>

#include <bcrypt.h>
#include <shlwapi.h>

#include "common/wide.h"

namespace {

// Our disk files are a few hundred bytes; anything longer is no disk of ours anyway.
constexpr DWORD kMaxDiskFileBytes = 4096;

bool IsFolder(const std::wstring& path) {
  const DWORD attributes = ::GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::wstring FolderOf(const std::wstring& path) {
  const size_t slash = path.find_last_of(L"\\/");
  if (slash == std::wstring::npos) return L".";
  // "C:\file" lives in "C:\", not in "C:".
  return slash > 0 && path[slash - 1] == L':' ? path.substr(0, slash + 1) : path.substr(0, slash);
}

IDevPlatform::HeldFile Held(HANDLE handle) { return reinterpret_cast<IDevPlatform::HeldFile>(handle); }

// The volume and the file's number on it: the same for every path that names the file.
std::string Identity(HANDLE handle) {
  BY_HANDLE_FILE_INFORMATION info{};
  if (!::GetFileInformationByHandle(handle, &info)) return {};
  return std::to_string(info.dwVolumeSerialNumber) + ":" + std::to_string(info.nFileIndexHigh) + ":" +
         std::to_string(info.nFileIndexLow);
}

}  // namespace

CWin32DevPlatform::CWin32DevPlatform(std::wstring backingRoot) : m_backingRoot(std::move(backingRoot)) {
  ::CreateDirectoryW(m_backingRoot.c_str(), nullptr);
}

IDevPlatform::FileRead CWin32DevPlatform::ReadDiskFile(const std::u16string& path) {
  FileRead file = OpenDiskFile(path, FILE_SHARE_READ | FILE_SHARE_WRITE);
  ReleaseDiskFile(file.held);
  file.held = 0;
  return file;
}

IDevPlatform::FileRead CWin32DevPlatform::HoldDiskFile(const std::u16string& path) {
  return OpenDiskFile(path, FILE_SHARE_READ);
}

IDevPlatform::FileRead CWin32DevPlatform::OpenDiskFile(const std::u16string& path, DWORD sharing) {
  const std::wstring file = WStr(path);
  const DWORD attributes = ::GetFileAttributesW(file.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    switch (::GetLastError()) {
      case ERROR_FILE_NOT_FOUND:
        return {IsFolder(FolderOf(file)) ? FileState::Missing : FileState::MissingFolder, {}, 0, {}};
      case ERROR_PATH_NOT_FOUND:
        return {FileState::MissingFolder, {}, 0, {}};
      case ERROR_ACCESS_DENIED:
        return {FileState::AccessDenied, {}, 0, {}};
      default:
        return {FileState::Unreadable, {}, 0, {}};
    }
  }
  if (attributes & FILE_ATTRIBUTE_DIRECTORY) return {FileState::Directory, {}, 0, {}};

  HANDLE handle = ::CreateFileW(file.c_str(), GENERIC_READ, sharing, nullptr, OPEN_EXISTING, 0, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    return {::GetLastError() == ERROR_ACCESS_DENIED ? FileState::AccessDenied : FileState::Unreadable, {}, 0, {}};
  }
  // Whatever the path looked like, only a file on a disk is read: a device may never answer.
  if (::GetFileType(handle) != FILE_TYPE_DISK) {
    ::CloseHandle(handle);
    return {FileState::NotAFile, {}, 0, {}};
  }
  std::string bytes(kMaxDiskFileBytes + 1, '\0');
  DWORD read = 0;
  if (!::ReadFile(handle, &bytes[0], static_cast<DWORD>(bytes.size()), &read, nullptr)) {
    ::CloseHandle(handle);
    return {FileState::Unreadable, {}, 0, {}};
  }
  bytes.resize(read);
  return {FileState::Readable, bytes, Held(handle), Identity(handle)};
}

IDevPlatform::FileRead CWin32DevPlatform::CreateDiskFile(const std::u16string& path, const std::string& bytes) {
  const std::wstring file = WStr(path);
  HANDLE handle = ::CreateFileW(file.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_NEW,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return {};
  DWORD written = 0;
  if (!::WriteFile(handle, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) ||
      written != bytes.size()) {
    ::CloseHandle(handle);
    ::DeleteFileW(file.c_str());
    return {};
  }
  return {FileState::Readable, bytes, Held(handle), Identity(handle)};
}

void CWin32DevPlatform::ReleaseDiskFile(HeldFile file) {
  if (file != 0) ::CloseHandle(reinterpret_cast<HANDLE>(file));
}

uint32_t CWin32DevPlatform::LogicalDrives() { return ::GetLogicalDrives(); }

bool CWin32DevPlatform::AttachDrive(char16_t letter) {
  const std::wstring backing = m_backingRoot + L"\\" + static_cast<wchar_t>(letter);
  ::CreateDirectoryW(backing.c_str(), nullptr);
  const wchar_t drive[] = {static_cast<wchar_t>(letter), L':', 0};
  return ::DefineDosDeviceW(0, drive, backing.c_str()) != FALSE;
}

void CWin32DevPlatform::DetachDrive(char16_t letter) {
  const std::wstring backing = m_backingRoot + L"\\" + static_cast<wchar_t>(letter);
  const wchar_t drive[] = {static_cast<wchar_t>(letter), L':', 0};
  ::DefineDosDeviceW(DDD_REMOVE_DEFINITION | DDD_EXACT_MATCH_ON_REMOVE, drive, backing.c_str());
}

std::string CWin32DevPlatform::RandomBytes(size_t count) {
  std::string bytes(count, '\0');
  if (!BCRYPT_SUCCESS(::BCryptGenRandom(nullptr, reinterpret_cast<PUCHAR>(&bytes[0]), static_cast<ULONG>(count),
                                         BCRYPT_USE_SYSTEM_PREFERRED_RNG))) {
    return {};
  }
  return bytes;
}

std::string CWin32DevPlatform::DeriveVerifier(const std::string& passphrase, const std::string& salt,
                                              uint32_t iterations) {
  BCRYPT_ALG_HANDLE algorithm = nullptr;
  if (!BCRYPT_SUCCESS(::BCryptOpenAlgorithmProvider(&algorithm, BCRYPT_SHA256_ALGORITHM, nullptr,
                                                    BCRYPT_ALG_HANDLE_HMAC_FLAG))) {
    return {};
  }
  std::string verifier(32, '\0');
  std::string secret = passphrase;
  const NTSTATUS status = ::BCryptDeriveKeyPBKDF2(
      algorithm, reinterpret_cast<PUCHAR>(secret.empty() ? nullptr : &secret[0]), static_cast<ULONG>(secret.size()),
      reinterpret_cast<PUCHAR>(const_cast<char*>(salt.data())), static_cast<ULONG>(salt.size()), iterations,
      reinterpret_cast<PUCHAR>(&verifier[0]), static_cast<ULONG>(verifier.size()), 0);
  ::BCryptCloseAlgorithmProvider(algorithm, 0);
  ::SecureZeroMemory(secret.empty() ? nullptr : &secret[0], secret.size());
  return BCRYPT_SUCCESS(status) ? verifier : std::string();
}
