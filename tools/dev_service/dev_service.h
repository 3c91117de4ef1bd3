// The development disk service: answers every request of the pipe protocol. Disks are files of
// our own small format; "attaching" one makes its drive letter exist. It does not encrypt or
// store disk contents: it is there so the program can be tried and tested end to end.
#pragma once

#include <array>
#include <cstdint>
#include <mutex>
#include <string>

struct DiskImage;

// What the service needs of the machine it runs on.
class IDevPlatform {
 public:
  enum class FileState { Missing, MissingFolder, Directory, AccessDenied, Readable, Unreadable };
  struct FileRead {
    FileState state = FileState::Unreadable;
    std::string bytes;  // the start of the file, when Readable
  };

  virtual FileRead ReadDiskFile(const std::u16string& path) = 0;
  // Writes a new file; false when one already exists or it cannot be written.
  virtual bool CreateDiskFile(const std::u16string& path, const std::string& bytes) = 0;
  virtual uint32_t LogicalDrives() = 0;
  virtual bool AttachDrive(char16_t letter) = 0;
  virtual void DetachDrive(char16_t letter) = 0;
  virtual std::string RandomBytes(size_t count) = 0;
  // PBKDF2 with HMAC-SHA-256.
  virtual std::string DeriveVerifier(const std::string& passphrase, const std::string& salt, uint32_t iterations) = 0;

 protected:
  ~IDevPlatform() = default;
};

class CDevService {
 public:
  // Requests larger than this are refused without being parsed.
  static constexpr size_t kMaxRequestBytes = 64 * 1024;
  static constexpr uint32_t kIterations = 50000;

  explicit CDevService(IDevPlatform& platform) : m_platform(platform) {}

  // The reply text (the NUL is the transport's) to one request as it came over the pipe, its
  // NUL included. A request that is not well formed gets "0".
  std::string Handle(const std::string& request);

  // A line for the service's log: the request's keyword, drive or path, and the reply. Never
  // the passphrase.
  static std::string Describe(const std::string& request, const std::string& reply);

 private:
  struct Mounted {
    std::u16string drive;  // "E:"
    std::u16string path;
    int32_t number = 0;
  };

  std::string Mount(const std::u16string& path, const std::u16string& drive, const std::u16string& label,
                    const std::u16string& passphrase);
  std::string Unmount(const std::u16string& entry);
  std::string Status(const std::u16string& drive) const;
  std::string List() const;
  std::string StorageAccessible(const std::u16string& path, const std::u16string& passphrase);
  // 0 when the disk can be used with the passphrase, else the access reason.
  int CheckDisk(const IDevPlatform::FileRead& file, const std::u16string& passphrase);
  bool PassphraseMatches(const DiskImage& image, const std::u16string& passphrase);

  IDevPlatform& m_platform;
  mutable std::mutex m_mutex;
  std::array<Mounted, 26> m_mounted;
  int32_t m_nLastNumber = 0;
};
