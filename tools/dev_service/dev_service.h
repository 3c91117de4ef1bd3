// The development disk service: answers every request of the pipe protocol. Disks are files of
// our own small format; "attaching" one makes its drive letter exist. It does not encrypt or
// store disk contents: it is there so the program can be tried and tested end to end.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>

struct DiskImage;

// What the service needs of the machine it runs on. Called from many clients' requests at once.
class IDevPlatform {
 public:
  enum class FileState { Missing, MissingFolder, Directory, AccessDenied, Readable, Unreadable, NotAFile };
  // A disk file kept open while its disk is mounted; 0 is none.
  using HeldFile = uintptr_t;
  struct FileRead {
    FileState state = FileState::Unreadable;
    std::string bytes;     // the start of the file, when Readable
    HeldFile held = 0;     // from HoldDiskFile and CreateDiskFile, when Readable
    std::string identity;  // the same for every path that names this file; empty when unknown
  };

  // The start of a file, read with any sharing; nothing is kept open.
  virtual FileRead ReadDiskFile(const std::u16string& path) = 0;
  // Opens an existing file and keeps it open until ReleaseDiskFile, sharing it for reading only,
  // so that nobody can write, move or delete it meanwhile; its start is read through that handle.
  virtual FileRead HoldDiskFile(const std::u16string& path) = 0;
  // Writes a new file and holds it as HoldDiskFile does; nothing is held when a file is already
  // there or it cannot be written.
  virtual FileRead CreateDiskFile(const std::u16string& path, const std::string& bytes) = 0;
  virtual void ReleaseDiskFile(HeldFile file) = 0;
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
  // Mount numbers stay within nine digits, so that every reply fits its ten bytes with the NUL.
  static constexpr int32_t kMaxMountNumber = 999'999'999;

  explicit CDevService(IDevPlatform& platform) : m_platform(platform) {}

  // The reply text (the NUL is the transport's) to one request as it came over the pipe, its
  // NUL included. A request that is not well formed gets "0". Safe to call from many threads:
  // the lock guards only the table of mounted disks, never a file, so a client naming a file
  // that is slow to open holds up nobody else.
  std::string Handle(const std::string& request);

  // Unmounts every disk: each drive letter goes and each disk file is let go of. For the end of
  // the service, once no request is answered any more.
  void UnmountAll();

  // A line for the service's log: the request's keyword, drive or path, and the reply, with
  // control characters escaped. Never the passphrase.
  static std::string Describe(const std::string& request, const std::string& reply);

 private:
  enum class SlotState { Free, Reserved, Mounted };
  // One drive letter. A Mount reserves its letter and its path before it opens any file, so
  // that no other request takes either while the file work goes on outside the lock.
  struct Slot {
    SlotState state = SlotState::Free;
    std::u16string path;
    std::string identity;
    IDevPlatform::HeldFile held = 0;
    int32_t number = 0;
  };

  std::string Mount(const std::u16string& path, const std::u16string& drive, const std::u16string& label,
                    const std::u16string& passphrase);
  std::string Unmount(const std::u16string& entry);
  // Unmounts the first mounted disk for which which() holds; false when there is none.
  bool Detach(const std::function<bool(size_t index, const Slot& slot)>& which);
  std::string Status(const std::u16string& drive);
  std::string List();
  std::string StorageAccessible(const std::u16string& path, const std::u16string& passphrase);
  // The disk file for a Mount, held open; nothing held when it cannot be used or made.
  IDevPlatform::FileRead HoldDisk(const std::u16string& path, const std::u16string& label,
                                  const std::u16string& passphrase);
  // The bytes of a new disk file; empty when no key could be derived.
  std::string NewDiskBytes(const std::u16string& label, const std::u16string& passphrase);
  // 0 when the disk can be used with the passphrase, else the access reason.
  int CheckDisk(const IDevPlatform::FileRead& file, const std::u16string& passphrase);
  bool PassphraseMatches(const DiskImage& image, const std::u16string& passphrase);

  IDevPlatform& m_platform;
  std::mutex m_mutex;  // guards m_slots and m_nLastNumber
  std::array<Slot, 26> m_slots;
  int32_t m_nLastNumber = 0;
};
