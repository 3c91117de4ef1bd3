// The development disk service's answers.
#include "tools/dev_service/dev_service.h"

#include <vector>

#include "common/text.h"
#include "tools/dev_service/disk_image.h"

namespace {

constexpr int kReasonInvalidFile = 1;
constexpr int kReasonAccessDenied = 2;
constexpr int kReasonOther = 3;
constexpr int kReasonPassphrase = 4;

// The lines of a well-formed request: UTF-8 text, every line ended by LF, one NUL at the end.
bool SplitRequest(const std::string& request, std::vector<std::u16string>& lines) {
  if (request.size() < 2 || request.size() > CDevService::kMaxRequestBytes) return false;
  if (request.back() != '\0' || request.find('\0') != request.size() - 1) return false;
  const std::string text = request.substr(0, request.size() - 1);
  if (text.back() != '\n') return false;
  for (const std::u16string& line : SplitText(FromUtf8(text), u'\n')) lines.push_back(line);
  return !lines.empty();
}

// "E:" (or "e:", or "E:\" where allowed) as an upper-case letter; 0 when it is no drive.
char16_t DriveLetter(const std::u16string& drive, bool allowBackslash) {
  if (drive.size() < 2 || drive.size() > (allowBackslash ? 3u : 2u) || drive[1] != u':') return 0;
  if (drive.size() == 3 && drive[2] != u'\\') return 0;
  char16_t letter = drive[0];
  if (letter >= u'a' && letter <= u'z') letter = static_cast<char16_t>(letter - u'a' + u'A');
  return letter >= u'A' && letter <= u'Z' ? letter : 0;
}

std::string Number(int32_t value) { return std::to_string(value); }

}  // namespace

std::string CDevService::Handle(const std::string& request) {
  std::vector<std::u16string> lines;
  if (!SplitRequest(request, lines)) return "0";
  const std::u16string& keyword = lines[0];
  const size_t args = lines.size() - 1;

  std::lock_guard<std::mutex> lock(m_mutex);
  if (keyword == u"Mount" && args == 5) return Mount(lines[1], lines[2], lines[3], lines[4]);
  if (keyword == u"Unmount" && args == 1) return Unmount(lines[1]);
  if (keyword == u"Status" && args == 1) return Status(lines[1]);
  if (keyword == u"ListSize" && args == 0) {
    const std::string list = List();
    return list.empty() ? "0" : Number(static_cast<int32_t>(list.size() + 1));
  }
  if (keyword == u"List" && args == 0) return List();
  if (keyword == u"StorageAccessible" && args == 2) return StorageAccessible(lines[1], lines[2]);
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
  return line + " -> " + shown;
}

bool CDevService::PassphraseMatches(const DiskImage& image, const std::u16string& passphrase) {
  if (!image.encrypted) return true;
  return m_platform.DeriveVerifier(ToUtf8(passphrase), image.salt, image.iterations) == image.verifier;
}

int CDevService::CheckDisk(const IDevPlatform::FileRead& file, const std::u16string& passphrase) {
  switch (file.state) {
    case IDevPlatform::FileState::AccessDenied: return kReasonAccessDenied;
    case IDevPlatform::FileState::Readable: break;
    default: return kReasonOther;
  }
  const std::optional<DiskImage> image = DecodeDiskImage(file.bytes);
  if (!image) return kReasonInvalidFile;
  return PassphraseMatches(*image, passphrase) ? 0 : kReasonPassphrase;
}

std::string CDevService::StorageAccessible(const std::u16string& path, const std::u16string& passphrase) {
  if (path.empty()) return "0\n" + Number(kReasonOther);
  const IDevPlatform::FileRead file = m_platform.ReadDiskFile(path);
  if (file.state == IDevPlatform::FileState::Missing) return "1\n0";  // a new disk can be made there
  const int reason = CheckDisk(file, passphrase);
  return reason == 0 ? "1\n0" : "0\n" + Number(reason);
}

std::string CDevService::Mount(const std::u16string& path, const std::u16string& drive, const std::u16string& label,
                               const std::u16string& passphrase) {
  const char16_t letter = DriveLetter(drive, false);
  if (letter == 0 || drive[0] != letter || path.empty()) return "0";
  Mounted& slot = m_mounted[static_cast<size_t>(letter - u'A')];
  if (!slot.drive.empty() || (m_platform.LogicalDrives() & (1u << (letter - u'A'))) != 0) return "0";
  for (const Mounted& other : m_mounted) {
    if (!other.drive.empty() && ToLowerAscii(other.path) == ToLowerAscii(path)) return "0";
  }

  const IDevPlatform::FileRead file = m_platform.ReadDiskFile(path);
  if (file.state == IDevPlatform::FileState::Missing) {
    DiskImage image;
    image.label = ToUtf8(label);
    if (!passphrase.empty()) {
      image.encrypted = true;
      image.iterations = kIterations;
      image.salt = m_platform.RandomBytes(DiskImage::kSaltBytes);
      image.verifier = m_platform.DeriveVerifier(ToUtf8(passphrase), image.salt, image.iterations);
      if (image.salt.size() != DiskImage::kSaltBytes || image.verifier.size() != DiskImage::kVerifierBytes) return "0";
    }
    if (!m_platform.CreateDiskFile(path, EncodeDiskImage(image))) return "0";
  } else if (CheckDisk(file, passphrase) != 0) {
    return "0";
  }

  if (!m_platform.AttachDrive(letter)) return "0";
  slot = Mounted{std::u16string{letter, u':'}, path, ++m_nLastNumber};
  return Number(slot.number);
}

std::string CDevService::Unmount(const std::u16string& entry) {
  for (Mounted& slot : m_mounted) {
    if (slot.drive.empty() || slot.drive + u' ' + slot.path != entry) continue;
    m_platform.DetachDrive(slot.drive[0]);
    slot = Mounted{};
    return "1";
  }
  return "0";
}

std::string CDevService::Status(const std::u16string& drive) const {
  const char16_t letter = DriveLetter(drive, true);
  return letter != 0 && !m_mounted[static_cast<size_t>(letter - u'A')].drive.empty() ? "1" : "0";
}

std::string CDevService::List() const {
  std::string list;
  for (const Mounted& slot : m_mounted) {
    if (slot.drive.empty()) continue;
    list += ToUtf8(slot.drive) + "\t" + ToUtf8(slot.path) + "\t" + Number(slot.number) + "\n";
  }
  return list;
}
