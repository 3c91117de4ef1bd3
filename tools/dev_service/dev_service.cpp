// The development disk service's answers.
#include "tools/dev_service/dev_service.h"

#include <algorithm>
#include <vector>

#include "common/printable.h"
#include "common/service_protocol.h"
#include "common/text.h"
#include "tools/dev_service/disk_image.h"

namespace {

// "E:" (or "e:", or "E:\" where allowed) as an upper-case letter; 0 when it is no drive.
char16_t DriveLetter(const std::u16string& drive, bool allowBackslash) {
  if (drive.size() < 2 || drive.size() > (allowBackslash ? 3u : 2u) || drive[1] != u':') return 0;
  if (drive.size() == 3 && drive[2] != u'\\') return 0;
  char16_t letter = drive[0];
  if (letter >= u'a' && letter <= u'z') letter = static_cast<char16_t>(letter - u'a' + u'A');
  return letter >= u'A' && letter <= u'Z' ? letter : 0;
}

bool StartsWith(const std::u16string& text, std::u16string_view start) { return text.rfind(start, 0) == 0; }

// Whether a path names a device, a pipe or a raw volume rather than a file in a folder. Opening
// one may wait for ever (a pipe nobody answers, the service's own pipe, a console) or reach past
// the file system, so such paths are never opened: they are not disk files.
bool NamesADevice(const std::u16string& path) {
  std::u16string p = ToLowerAscii(path);
  std::replace(p.begin(), p.end(), u'/', u'\\');
  if (StartsWith(p, u"\\\\.\\") || StartsWith(p, u"\\\\?\\") || StartsWith(p, u"\\??\\") || p == u"\\\\." ||
      p == u"\\\\?") {
    return true;
  }
  // \\server\pipe\name and \\server\mailslot\name reach another machine's pipes.
  if (StartsWith(p, u"\\\\")) {
    const size_t share = p.find(u'\\', 2);
    if (share != std::u16string::npos) {
      const std::u16string name = p.substr(share + 1, p.find(u'\\', share + 1) - share - 1);
      if (name == u"pipe" || name == u"mailslot") return true;
    }
  }
  // A reserved device name as the last part, with or without an extension: "nul", "C:\d\con.zel".
  std::u16string base = p.substr(p.find_last_of(u"\\:") + 1);
  base.resize(std::min(base.size(), base.find(u'.')));
  while (!base.empty() && base.back() == u' ') base.pop_back();
  for (const char16_t* device : {u"con", u"prn", u"aux", u"nul", u"conin$", u"conout$", u"clock$"}) {
    if (base == device) return true;
  }
  return base.size() == 4 && (StartsWith(base, u"com") || StartsWith(base, u"lpt")) && base[3] >= u'0' &&
         base[3] <= u'9';
}

std::string Number(int32_t value) { return std::to_string(value); }

std::u16string DriveText(size_t index) { return {static_cast<char16_t>(u'A' + index), u':'}; }

}  // namespace

std::string CDevService::Handle(const std::string& request) {
  const std::optional<ReceivedRequest> received =
      request.size() <= kMaxRequestBytes ? ReadRequest(request) : std::nullopt;
  if (!received) return "0";
  const std::vector<std::u16string>& args = received->arguments;
  switch (received->kind) {
    case ServiceRequest::Mount: return Mount(args[0], args[1], args[2], args[3]);
    case ServiceRequest::Unmount: return Unmount(args[0]);
    case ServiceRequest::Status: return Status(args[0]);
    case ServiceRequest::ListSize: {
      const std::string list = List();
      return list.empty() ? "0" : Number(static_cast<int32_t>(list.size() + 1));
    }
    case ServiceRequest::List: return List();
    case ServiceRequest::StorageAccessible: return StorageAccessible(args[0], args[1]);
  }
  return "0";
}

std::string CDevService::Describe(const std::string& request, const std::string& reply) {
  std::vector<std::string> lines;
  const std::string text = request.substr(0, request.find('\0'));
  for (size_t start = 0; start <= text.size() && lines.size() < 3;) {
    const size_t end = text.find('\n', start);
    lines.push_back(text.substr(start, end == std::string::npos ? std::string::npos : end - start).substr(0, 200));
    if (end == std::string::npos) break;
    start = end + 1;
  }
  std::string line = lines.empty() ? std::string() : lines[0].substr(0, 32);
  // The first argument is a path, a drive or an entry; Mount's second is the drive. Later
  // arguments (Mount's label and passphrase, StorageAccessible's passphrase) stay out.
  if (line != "ListSize" && line != "List" && lines.size() > 1) line += " " + lines[1];
  if (line.rfind("Mount ", 0) == 0 && lines.size() > 2) line += " on " + lines[2];
  std::string shown = reply.substr(0, 80);
  for (char& c : shown) {
    if (c == '\n' || c == '\t') c = ' ';
  }
  return PrintableText(line) + " -> " + PrintableText(shown);
}

bool CDevService::PassphraseMatches(const DiskImage& image, const std::u16string& passphrase) {
  if (!image.encrypted) return true;
  return m_platform.DeriveVerifier(ToUtf8(passphrase), image.salt, image.iterations) == image.verifier;
}

int CDevService::CheckDisk(const IDevPlatform::FileRead& file, const std::u16string& passphrase) {
  switch (file.state) {
    case IDevPlatform::FileState::AccessDenied: return kAccessDenied;
    case IDevPlatform::FileState::NotAFile: return kAccessInvalidFile;
    case IDevPlatform::FileState::Readable: break;
    default: return kAccessGeneralError;
  }
  const std::optional<DiskImage> image = DecodeDiskImage(file.bytes);
  if (!image) return kAccessInvalidFile;
  return PassphraseMatches(*image, passphrase) ? 0 : kAccessInvalidPassphrase;
}

std::string CDevService::StorageAccessible(const std::u16string& path, const std::u16string& passphrase) {
  if (path.empty()) return "0\n" + Number(kAccessGeneralError);
  if (NamesADevice(path)) return "0\n" + Number(kAccessInvalidFile);
  const IDevPlatform::FileRead file = m_platform.ReadDiskFile(path);
  if (file.state == IDevPlatform::FileState::Missing) return "1\n0";  // a new disk can be made there
  const int reason = CheckDisk(file, passphrase);
  return reason == 0 ? "1\n0" : "0\n" + Number(reason);
}

std::string CDevService::NewDiskBytes(const std::u16string& label, const std::u16string& passphrase) {
  DiskImage image;
  image.label = ToUtf8(label);
  if (!passphrase.empty()) {
    image.encrypted = true;
    image.iterations = kIterations;
    image.salt = m_platform.RandomBytes(DiskImage::kSaltBytes);
    image.verifier = m_platform.DeriveVerifier(ToUtf8(passphrase), image.salt, image.iterations);
    if (image.salt.size() != DiskImage::kSaltBytes || image.verifier.size() != DiskImage::kVerifierBytes) return {};
  }
  return EncodeDiskImage(image);
}

IDevPlatform::FileRead CDevService::HoldDisk(const std::u16string& path, const std::u16string& label,
                                             const std::u16string& passphrase) {
  IDevPlatform::FileRead file = m_platform.HoldDiskFile(path);
  if (file.state == IDevPlatform::FileState::Missing) {
    const std::string bytes = NewDiskBytes(label, passphrase);
    return bytes.empty() ? IDevPlatform::FileRead{} : m_platform.CreateDiskFile(path, bytes);
  }
  if (file.held != 0 && CheckDisk(file, passphrase) != 0) {
    m_platform.ReleaseDiskFile(file.held);
    file.held = 0;
  }
  return file;
}

std::string CDevService::Mount(const std::u16string& path, const std::u16string& drive, const std::u16string& label,
                               const std::u16string& passphrase) {
  const char16_t letter = DriveLetter(drive, false);
  if (letter == 0 || drive[0] != letter || path.empty() || NamesADevice(path)) return "0";
  // A label our disk file cannot hold would make a file that never reads back as a disk.
  if (!LabelFits(ToUtf8(label))) return "0";
  const size_t index = static_cast<size_t>(letter - u'A');
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_slots[index].state != SlotState::Free || (m_platform.LogicalDrives() & (1u << index)) != 0) return "0";
    for (const Slot& other : m_slots) {
      if (other.state != SlotState::Free && ToLowerAscii(other.path) == ToLowerAscii(path)) return "0";
    }
    m_slots[index] = Slot{SlotState::Reserved, path, {}, 0, 0};
  }

  // The file work, outside the lock.
  const IDevPlatform::FileRead disk = HoldDisk(path, label, passphrase);
  bool usable = disk.held != 0;
  if (usable) {
    // The same file under another spelling (another case, "." or "..", a short name) is the same
    // disk: it is mounted once.
    std::lock_guard<std::mutex> lock(m_mutex);
    for (const Slot& other : m_slots) {
      if (other.state != SlotState::Free && !disk.identity.empty() && other.identity == disk.identity) usable = false;
    }
    if (usable) m_slots[index].identity = disk.identity;
  }
  if (usable) usable = m_platform.AttachDrive(letter);

  if (!usable) {
    if (disk.held != 0) m_platform.ReleaseDiskFile(disk.held);
    std::lock_guard<std::mutex> lock(m_mutex);
    m_slots[index] = Slot{};
    return "0";
  }
  std::lock_guard<std::mutex> lock(m_mutex);
  Slot& slot = m_slots[index];
  slot.state = SlotState::Mounted;
  slot.held = disk.held;
  m_nLastNumber = m_nLastNumber < kMaxMountNumber ? m_nLastNumber + 1 : 1;
  slot.number = m_nLastNumber;
  return Number(slot.number);
}

bool CDevService::Detach(const std::function<bool(size_t index, const Slot& slot)>& which) {
  for (size_t index = 0; index < m_slots.size(); ++index) {
    Slot leaving;
    {
      std::lock_guard<std::mutex> lock(m_mutex);
      if (m_slots[index].state != SlotState::Mounted || !which(index, m_slots[index])) continue;
      leaving = m_slots[index];
      m_slots[index] = Slot{};
    }
    m_platform.DetachDrive(static_cast<char16_t>(u'A' + index));
    m_platform.ReleaseDiskFile(leaving.held);
    return true;
  }
  return false;
}

std::string CDevService::Unmount(const std::u16string& entry) {
  const bool found =
      Detach([&entry](size_t index, const Slot& slot) { return DriveText(index) + u' ' + slot.path == entry; });
  return found ? "1" : "0";
}

void CDevService::UnmountAll() {
  while (Detach([](size_t, const Slot&) { return true; })) {
  }
}

std::string CDevService::Status(const std::u16string& drive) {
  const char16_t letter = DriveLetter(drive, true);
  if (letter == 0) return "0";
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_slots[static_cast<size_t>(letter - u'A')].state == SlotState::Mounted ? "1" : "0";
}

std::string CDevService::List() {
  std::string list;
  std::lock_guard<std::mutex> lock(m_mutex);
  for (size_t i = 0; i < m_slots.size(); ++i) {
    if (m_slots[i].state != SlotState::Mounted) continue;
    list += ListLine(DriveText(i), m_slots[i].path, m_slots[i].number);
  }
  return list;
}
