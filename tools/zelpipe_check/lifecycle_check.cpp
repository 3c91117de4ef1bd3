// zelpipe-check --lifecycle: a disk of its own, from creation to removal, as the program uses one.
#include <algorithm>

#include "common/text.h"
#include "tools/zelpipe_check/asker.h"

namespace {

// As long as the program waits for the drive letter of a disk it has just mounted.
constexpr uint32_t kDriveWaitMs = 10000;
constexpr uint32_t kPollMs = 100;
constexpr char kLabel[] = "zelpipe-check";
constexpr char kPassphrase[] = "zelpipe-check passphrase";

std::string LowerAscii(std::string text) {
  for (char& c : text) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return text;
}

std::vector<std::u16string> SortedNames(std::vector<std::u16string> names) {
  std::sort(names.begin(), names.end());
  return names;
}

// Why the drive letter of a disk just mounted did not appear, as long as the program waits for it.
std::string DriveWaitFault(IServiceProbe& probe, char letter) {
  for (uint32_t waited = 0; waited <= kDriveWaitMs; waited += kPollMs) {
    if ((probe.LogicalDrives() & Bit(letter)) != 0) return {};
    probe.Pause(kPollMs);
  }
  return "the drive letter did not appear within " + std::to_string(kDriveWaitMs / 1000) + " s";
}

// Why a Mount of the encrypted disk with this passphrase (which is not its own) is not refused
// as it must be: answered 0, nothing attached, the file as it was (fingerprint) and let go of.
std::string RefusedMountFault(CAsker& asker, const std::u16string& path, char letter, const std::string& passphrase,
                              const std::string& fingerprint) {
  IServiceProbe& probe = asker.Probe();
  const std::string drive = Drive(letter);
  const std::string what = std::string("Mount with ") + (passphrase.empty() ? "an empty" : "a wrong") + " passphrase";
  int32_t number = 0;
  const std::string mount = Request(ServiceRequest::Mount, {ToUtf8(path), drive, "", passphrase, "0"});
  const CAsker::Answer answer = asker.AskInteger(what, mount, number);
  if (!answer.ok) return answer.why;
  std::string attached = number != 0 ? "it answered " + std::to_string(number) : std::string();
  if (attached.empty() && (probe.LogicalDrives() & Bit(letter)) != 0) attached = "the drive letter appeared";
  if (attached.empty()) attached = asker.StatusFault(letter, false);
  if (attached.empty()) {
    for (const ListEntry& entry : asker.ReadList().entries) {
      if (entry.drive[0] == letter) attached = "List shows " + Quoted(entry.path);
    }
  }
  if (!attached.empty()) {
    asker.UnmountLetter(letter);
    return what + " attached " + drive + " (" + attached + ")";
  }
  const std::string after = probe.FileDigest(path);
  if (after.empty()) return what + " left the disk file held open (or removed it)";
  if (after != fingerprint) return what + " changed the disk file";
  return {};
}

}  // namespace

void CheckLifecycle(CAsker& asker, const std::u16string& path, char letter, const ReportCheck& report) {
  IServiceProbe& probe = asker.Probe();
  const std::u16string folder = path.substr(0, path.find_last_of(u"\\/"));
  const std::vector<std::u16string> namesBefore = SortedNames(probe.FolderEntries(folder));
  const CAsker::Listing before = asker.ReadList();
  const std::string drive = Drive(letter);

  // Created where no file was, with a label and a passphrase, and mounted.
  AccessReply access;
  CAsker::Answer answer = asker.AskAccess(path, "", access);
  std::string why = letter == 0 ? "no free drive letter" : answer.why;
  if (why.empty() && (access.usable == 0 || access.reason != 0)) {
    why = "StorageAccessible -> " + Quoted(answer.text) + " where a new disk can be made (expected 1, LF, 0)";
  }
  int32_t number = 0;
  if (why.empty()) {
    const std::string mount = Request(ServiceRequest::Mount, {ToUtf8(path), drive, kLabel, kPassphrase, "0"});
    why = asker.AskInteger("Mount", mount, number).why;
    if (why.empty() && number == 0) why = "Mount " + Quoted(ToUtf8(path)) + " on " + drive + " -> 0";
    if (why.empty() && !probe.FileExists(path)) why = "Mount answered " + std::to_string(number) + " but made no file";
  }
  report("lifecycle: Mount creates a new disk on a free drive", why);
  if (!why.empty()) {
    if (number != 0) asker.UnmountLetter(letter);
    probe.RemoveFile(path);
    return;
  }

  report("lifecycle: the drive letter appears", DriveWaitFault(probe, letter));

  // Listed with its path, beside every disk that was listed before, and reported by Status.
  const CAsker::Listing mounted = asker.ReadList();
  why = !mounted.sizeWhy.empty() ? mounted.sizeWhy : !mounted.linesWhy.empty() ? mounted.linesWhy : mounted.matchWhy;
  if (why.empty() && mounted.size == 0) why = "ListSize -> 0 with a disk mounted";
  const auto ours = std::find_if(mounted.entries.begin(), mounted.entries.end(),
                                 [letter](const ListEntry& entry) { return entry.drive[0] == letter; });
  if (why.empty() && ours == mounted.entries.end()) why = "List has no line for " + drive;
  if (why.empty() && LowerAscii(ours->path) != LowerAscii(ToUtf8(path))) {
    why = "List shows " + Quoted(ours->path) + " on " + drive;
  }
  for (const ListEntry& other : before.entries) {
    const bool kept = std::any_of(mounted.entries.begin(), mounted.entries.end(), [&other](const ListEntry& entry) {
      return entry.drive == other.drive && entry.path == other.path;
    });
    if (why.empty() && !kept) why = "the disk on " + other.drive + " is no longer listed";
  }
  if (why.empty()) why = asker.StatusFault(letter, true);
  report("lifecycle: List and Status show the disk", why);

  // Unmounted with the entry text the program sends back; nothing else changes.
  const std::string entryText =
      ours != mounted.entries.end() ? ours->drive + " " + ours->path : drive + " " + ToUtf8(path);
  int32_t ignored = 0;
  why = asker.AskInteger("Unmount " + Quoted(entryText), Request(ServiceRequest::Unmount, {entryText}), ignored).why;
  if (why.empty()) why = asker.StatusFault(letter, false);
  if (why.empty() && Sorted(asker.ReadList().entries) != Sorted(before.entries)) {
    why = "after Unmount the list is not what it was before Mount";
  }
  report("lifecycle: Unmount", why);

  // The new disk needs its passphrase.
  why.clear();
  const std::pair<std::string, AccessReply> expected[] = {
      {"", {0, 4}}, {std::string("not ") + kPassphrase, {0, 4}}, {kPassphrase, {1, 0}}};
  for (const auto& [passphrase, reply] : expected) {
    answer = asker.AskAccess(path, passphrase, access);
    if (why.empty()) why = answer.why;
    if (why.empty() && ((access.usable != 0) != (reply.usable != 0) || access.reason != reply.reason)) {
      why = "StorageAccessible with " + (passphrase.empty() ? std::string("an empty passphrase") : Quoted(passphrase)) +
            " -> " + Quoted(answer.text) + " (expected " + std::to_string(reply.usable) + ", LF, " +
            std::to_string(reply.reason) + ")";
    }
  }
  report("lifecycle: StorageAccessible reasons of the new encrypted disk", why);

  // Mount opens it only with its passphrase: with another one it attaches nothing and leaves the
  // file as it was; then with its own it mounts again.
  const std::string fingerprint = probe.FileDigest(path);
  for (const std::string& passphrase : {std::string("not ") + kPassphrase, std::string()}) {
    report(std::string("lifecycle: Mount with ") + (passphrase.empty() ? "an empty" : "a wrong") +
               " passphrase attaches nothing",
           fingerprint.empty() ? "the disk file cannot be read after Unmount (is it still held open?)"
                               : RefusedMountFault(asker, path, letter, passphrase, fingerprint));
  }
  const std::string mount = Request(ServiceRequest::Mount, {ToUtf8(path), drive, "", kPassphrase, "0"});
  int32_t again = 0;
  why = asker.AskInteger("Mount with the passphrase", mount, again).why;
  if (why.empty() && again == 0) why = "Mount with the passphrase -> 0";
  if (why.empty()) why = DriveWaitFault(probe, letter);
  if (again != 0) asker.UnmountLetter(letter);
  if (why.empty()) why = asker.StatusFault(letter, false);
  report("lifecycle: Mount with the passphrase mounts the disk again", why);

  // Let go of: the file can be removed, and the folder is as it was.
  why.clear();
  if (!probe.RemoveFile(path)) why = "the disk file cannot be removed after Unmount (is it still held open?)";
  if (why.empty() && SortedNames(probe.FolderEntries(folder)) != namesBefore) why = "the folder's other files changed";
  report("lifecycle: the disk file can be removed", why);
}
