// The development service's machine: real files, drive letters made with DefineDosDevice onto
// folders of its own, and the system's random numbers and key derivation.
#pragma once

#include <string>

#include "tools/dev_service/dev_service.h"

class CWin32DevPlatform : public IDevPlatform {
 public:
  // backingRoot: the folder under which each attached drive letter gets a folder to point at.
  explicit CWin32DevPlatform(std::wstring backingRoot);

  FileRead ReadDiskFile(const std::u16string& path) override;
  FileRead HoldDiskFile(const std::u16string& path) override;
  FileRead CreateDiskFile(const std::u16string& path, const std::string& bytes) override;
  void ReleaseDiskFile(HeldFile file) override;
  uint32_t LogicalDrives() override;
  bool AttachDrive(char16_t letter) override;
  void DetachDrive(char16_t letter) override;
  std::string RandomBytes(size_t count) override;
  std::string DeriveVerifier(const std::string& passphrase, const std::string& salt, uint32_t iterations) override;

 private:
  // Opens an existing file for reading with this sharing and reads its start; the handle is
  // kept in held when the file is Readable.
  FileRead OpenDiskFile(const std::u16string& path, unsigned long sharing);

  std::wstring m_backingRoot;
};
