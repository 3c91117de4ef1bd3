// The development service answers any local process: here a stream of arbitrary requests on
// an in-memory machine that names files as Windows does. The first field is the content of a
// disk file that is already there (C:\disks\given.zel); every further field is one request as
// it comes over the pipe. After each request the service's state must still add up.
#include <algorithm>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "common/mount_list.h"
#include "common/text.h"
#include "fuzz/fuzz_input.h"
#include "tools/dev_service/dev_service.h"
#include "tools/dev_service/disk_image.h"

namespace {

// No request may make the service derive more key rounds than this: the real derivation takes
// the service's lock for as long as it runs, so a costlier one freezes every client.
constexpr uint32_t kDerivationBudget = 1'000'000;

// Requests looked at in one input; a longer stream finds nothing that a shorter one cannot.
constexpr size_t kMaxRequests = 64;

// Files by path with Windows' rules: letter case does not matter, and names with control
// characters or the reserved marks cannot exist. C and Z are the machine's own drives.
class MemoryMachine : public IDevPlatform {
 public:
  static constexpr uint32_t kOwnDrives = (1u << 2) | (1u << 25);

  explicit MemoryMachine(std::string_view givenDisk) { m_files[u"c:\\disks\\given.zel"] = std::string(givenDisk); }

  FileRead ReadDiskFile(const std::u16string& path) override {
    if (!IsValidName(path)) return {FileState::Unreadable, {}, 0, {}};
    const std::u16string key = ToLowerAscii(path);
    if (key == u"c:\\disks\\locked.zel") return {FileState::AccessDenied, {}, 0, {}};
    if (m_folders.count(key)) return {FileState::Directory, {}, 0, {}};
    const auto file = m_files.find(key);
    if (file != m_files.end()) return {FileState::Readable, file->second, 0, ToUtf8(key)};
    return {m_folders.count(FolderOf(key)) ? FileState::Missing : FileState::MissingFolder, {}, 0, {}};
  }
  FileRead HoldDiskFile(const std::u16string& path) override {
    FileRead file = ReadDiskFile(path);
    if (file.state == FileState::Readable) file.held = Hold(path);
    return file;
  }
  FileRead CreateDiskFile(const std::u16string& path, const std::string& bytes) override {
    if (ReadDiskFile(path).state != FileState::Missing) return {};
    m_files[ToLowerAscii(path)] = bytes;
    return {FileState::Readable, bytes, Hold(path), ToUtf8(ToLowerAscii(path))};
  }
  void ReleaseDiskFile(HeldFile file) override { FUZZ_CHECK(m_held.erase(file) == 1); }
  uint32_t LogicalDrives() override { return drives; }
  bool AttachDrive(char16_t letter) override {
    FUZZ_CHECK(letter >= u'A' && letter <= u'Z' && (drives & Bit(letter)) == 0);
    drives |= Bit(letter);
    return true;
  }
  void DetachDrive(char16_t letter) override {
    FUZZ_CHECK(letter >= u'A' && letter <= u'Z' && (drives & Bit(letter)) != 0 && (kOwnDrives & Bit(letter)) == 0);
    drives &= ~Bit(letter);
  }
  std::string RandomBytes(size_t count) override { return std::string(count, static_cast<char>(++m_seed)); }
  std::string DeriveVerifier(const std::string& passphrase, const std::string& salt, uint32_t iterations) override {
    FUZZ_CHECK(iterations <= kDerivationBudget);
    std::string verifier(DiskImage::kVerifierBytes, '\0');
    const std::string all = passphrase + '|' + salt + '|' + std::to_string(iterations);
    for (size_t i = 0; i < all.size(); ++i) {
      verifier[i % verifier.size()] = static_cast<char>(verifier[i % verifier.size()] * 31 + all[i]);
    }
    return verifier;
  }

  // Whether the file is held open exactly once.
  bool HeldOnce(const std::u16string& path) const {
    size_t count = 0;
    for (const auto& held : m_held) count += held.second == ToLowerAscii(path) ? 1 : 0;
    return count == 1;
  }
  size_t HeldCount() const { return m_held.size(); }

  const std::string* File(const std::u16string& path) const {
    const auto file = m_files.find(ToLowerAscii(path));
    return file == m_files.end() ? nullptr : &file->second;
  }

  uint32_t drives = kOwnDrives;

 private:
  static uint32_t Bit(char16_t letter) { return 1u << (letter - u'A'); }
  static std::u16string FolderOf(const std::u16string& path) {
    const size_t slash = path.rfind(u'\\');
    return slash == std::u16string::npos ? std::u16string() : path.substr(0, slash);
  }
  static bool IsValidName(const std::u16string& path) {
    if (path.size() < 3 || path[1] != u':' || path[2] != u'\\') return false;
    for (size_t i = 0; i < path.size(); ++i) {
      const char16_t c = path[i];
      if (c < 0x20 || std::u16string_view(u"<>\"|?*").find(c) != std::u16string_view::npos) return false;
      if (c == u':' && i != 1) return false;
    }
    return true;
  }

  HeldFile Hold(const std::u16string& path) {
    m_held[++m_nLastHeld] = ToLowerAscii(path);
    return m_nLastHeld;
  }

  std::map<std::u16string, std::string> m_files;
  std::map<HeldFile, std::u16string> m_held;
  HeldFile m_nLastHeld = 0;
  std::set<std::u16string> m_folders{u"c:\\disks", u"c:\\disks\\folder.zel"};
  int m_seed = 0;
};

std::string Request(const std::string& keyword, std::initializer_list<std::u16string> args) {
  std::string text = keyword + "\n";
  for (const std::u16string& arg : args) text += ToUtf8(arg) + "\n";
  return text + std::string(1, '\0');
}

std::vector<std::string> Lines(const std::string& request) {
  std::vector<std::string> lines;
  size_t start = 0;
  for (size_t end; (end = request.find('\n', start)) != std::string::npos; start = end + 1) {
    lines.push_back(request.substr(start, end - start));
  }
  lines.push_back(request.substr(start));
  return lines;
}

// The request with the given lines blanked out.
std::string WithLinesReplaced(const std::vector<std::string>& lines, std::initializer_list<size_t> replaced) {
  std::string text;
  for (size_t i = 0; i < lines.size(); ++i) {
    if (i > 0) text += '\n';
    text += std::find(replaced.begin(), replaced.end(), i) != replaced.end() ? std::string("#") : lines[i];
  }
  return text;
}

// The log line never depends on a label or a passphrase, and holds no control character.
void CheckLogLine(const std::string& request, const std::string& reply) {
  const std::vector<std::string> lines = Lines(request.substr(0, request.find('\0')));
  const std::string line = CDevService::Describe(request, reply);
  for (char c : line) FUZZ_CHECK(static_cast<unsigned char>(c) >= 0x20 && c != 0x7F);
  if (lines[0] == "Mount" && lines.size() > 3) {
    FUZZ_CHECK(CDevService::Describe(WithLinesReplaced(lines, {3, 4}), reply) == line);
  } else if (lines[0] == "StorageAccessible" && lines.size() > 2) {
    FUZZ_CHECK(CDevService::Describe(WithLinesReplaced(lines, {2}), reply) == line);
  }
}

// What the service reports adds up: the list and its size, Status for every letter, the
// drives attached, and every listed disk a file of ours.
MountSlots CheckState(CDevService& service, MemoryMachine& machine) {
  const std::string list = service.Handle(Request("List", {}));
  const std::string size = service.Handle(Request("ListSize", {}));
  FUZZ_CHECK(size == (list.empty() ? "0" : std::to_string(list.size() + 1)));
  const MountSlots slots = ParseMountList(FromUtf8(list));
  size_t lines = 0;
  for (char c : list) lines += c == '\n' ? 1 : 0;
  uint32_t attached = MemoryMachine::kOwnDrives;
  std::set<int32_t> numbers;
  size_t mounted = 0;
  for (size_t i = 0; i < slots.size(); ++i) {
    const std::u16string drive{static_cast<char16_t>(u'A' + i), u':'};
    const MountSlot& slot = slots[i];
    FUZZ_CHECK(service.Handle(Request("Status", {drive + u'\\'})) == (slot.drive.empty() ? "0" : "1"));
    if (slot.drive.empty()) continue;
    --lines;
    attached |= 1u << i;
    FUZZ_CHECK(slot.drive == drive && slot.number > 0 && numbers.insert(slot.number).second);
    const std::string* file = machine.File(slot.path);
    FUZZ_CHECK(file != nullptr && DecodeDiskImage(*file).has_value());
    FUZZ_CHECK(machine.HeldOnce(slot.path));
    ++mounted;
  }
  FUZZ_CHECK(lines == 0);
  FUZZ_CHECK(machine.HeldCount() == mounted);
  FUZZ_CHECK(machine.drives == attached);
  return slots;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const FuzzFields fields(data, size);
  MemoryMachine machine(fields[0]);
  CDevService service(machine);

  // Only a Mount or an Unmount that succeeds changes what is mounted; the full account is
  // taken after each change (taking it after every request would slow the search tenfold).
  std::string list = service.Handle(Request("List", {}));
  for (size_t i = 1; i < fields.Count() && i <= kMaxRequests; ++i) {
    const std::string request(fields[i]);
    const std::string reply = service.Handle(request);
    FUZZ_CHECK(reply.find('\0') == std::string::npos && reply.find('\r') == std::string::npos);
    CheckLogLine(request, reply);
    const std::string after = service.Handle(Request("List", {}));
    if (after == list) continue;
    const std::string keyword = Lines(request)[0];
    FUZZ_CHECK(reply != "0" && (keyword == "Mount" || keyword == "Unmount"));
    CheckState(service, machine);
    list = after;
  }

  // Every disk it lists goes away with the entry text the Disconnect page sends back.
  const MountSlots slots = CheckState(service, machine);
  for (const MountSlot& slot : slots) {
    if (!slot.drive.empty()) FUZZ_CHECK(service.Handle(Request("Unmount", {EntryText(slot)})) == "1");
  }
  FUZZ_CHECK(service.Handle(Request("ListSize", {})) == "0");
  FUZZ_CHECK(machine.drives == MemoryMachine::kOwnDrives);
  FUZZ_CHECK(machine.HeldCount() == 0);
  return 0;
}
