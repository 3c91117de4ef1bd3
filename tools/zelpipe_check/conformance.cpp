// zelpipe-check's checks.
#include "tools/zelpipe_check/conformance.h"

#include <algorithm>

#include "common/disk_service_client.h"
#include "common/text.h"

namespace {

constexpr uint32_t kIntegerCapacity = CDiskServiceClient::kIntegerReplyCapacity;
constexpr uint32_t kAccessCapacity = CDiskServiceClient::kAccessReplyCapacity;
constexpr int kConcurrentClients = 16;
constexpr int kConnectionsInARow = 20;
constexpr uint32_t kLateReadMs = 300;
// As long as the program waits for the drive letter of a disk it has just mounted.
constexpr uint32_t kDriveWaitMs = 10000;
constexpr uint32_t kPollMs = 100;
constexpr char kLabel[] = "zelpipe-check";
constexpr char kPassphrase[] = "zelpipe-check passphrase";

std::string Request(const std::string& keyword, std::initializer_list<std::string> args = {}) {
  std::string text = keyword + "\n";
  for (const std::string& arg : args) text += arg + "\n";
  text.push_back('\0');
  return text;
}

std::string Drive(char letter) { return {letter, ':'}; }
std::string RootOf(char letter) { return {letter, ':', '\\'}; }
uint32_t Bit(char letter) { return 1u << (letter - 'A'); }

std::string LowerAscii(std::string text) {
  for (char& c : text) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return text;
}

std::vector<std::pair<std::string, std::string>> Sorted(const std::vector<ListEntry>& entries) {
  std::vector<std::pair<std::string, std::string>> pairs;
  for (const ListEntry& entry : entries) pairs.emplace_back(entry.drive, entry.path);
  std::sort(pairs.begin(), pairs.end());
  return pairs;
}

class CChecker {
 public:
  CChecker(IServiceProbe& probe, const CheckPlan& plan, const std::function<void(const CheckResult&)>& report)
      : m_probe(probe), m_plan(plan), m_report(report) {}

  void Run() {
    if (!CheckListing()) return;
    m_taken = m_probe.LogicalDrives();
    for (const ListEntry& entry : m_listed) m_taken |= Bit(entry.drive[0]);
    CheckStatus();
    CheckStorageAccessible();
    CheckMount();
    CheckUnmount();
    CheckConnections();
    CheckConcurrentClients();
    if (!m_plan.lifecyclePath.empty()) CheckLifecycle();
    CheckReplies();
  }

 private:
  // A reply as one check sees it; why says what made it unusable.
  struct Answer {
    bool ok = false;
    std::string text;
    std::string why;
    ProbeReply raw;
  };
  // ListSize and, when it is not 0, List, as the client asks for them.
  struct Listing {
    int32_t size = -1;
    std::string sizeWhy;   // ListSize's reply is unusable
    std::string linesWhy;  // List's lines are not well formed
    std::string matchWhy;  // List's size is not what ListSize said
    std::vector<ListEntry> entries;
  };

  void Report(const std::string& name, const std::string& why) { m_report({name, why.empty(), why}); }

  // Judges one reply, noting every frame fault for the closing account.
  Answer Judge(const std::string& what, const ProbeReply& raw, uint32_t capacity) {
    Answer answer;
    answer.raw = raw;
    if (raw.outcome == ProbeReply::Outcome::Answered) ++m_nReplies;
    const std::string fault = FrameFault(raw, capacity);
    if (!fault.empty()) {
      answer.why = what + " -> " + fault;
      if (raw.outcome == ProbeReply::Outcome::Answered) m_frameFaults.push_back(answer.why);
      return answer;
    }
    answer.ok = true;
    answer.text = ReplyText(raw);
    return answer;
  }

  Answer Ask(const std::string& what, const std::string& request, uint32_t capacity, uint32_t readDelayMs = 0) {
    return Judge(what, m_probe.Exchange(request, capacity, readDelayMs), capacity);
  }

  // Checks that a judged reply is one decimal integer.
  Answer& Integer(Answer& answer, const std::string& what, int32_t& value) {
    if (!answer.ok) return answer;
    const std::optional<int32_t> number = DecimalInteger(answer.text);
    if (!number) return Fault(answer, what + " -> " + Quoted(answer.text) + " is no decimal integer");
    value = *number;
    return answer;
  }

  Answer& Fault(Answer& answer, const std::string& why) {
    answer.ok = false;
    answer.why = why;
    m_decimalFaults.push_back(why);
    return answer;
  }

  Answer AskInteger(const std::string& what, const std::string& request, int32_t& value, uint32_t readDelayMs = 0) {
    Answer answer = Ask(what, request, kIntegerCapacity, readDelayMs);
    return Integer(answer, what, value);
  }

  Answer AskAccess(const std::u16string& path, const std::string& passphrase, AccessReply& access) {
    const std::string what = "StorageAccessible " + Quoted(ToUtf8(path));
    Answer answer = Ask(what, Request("StorageAccessible", {ToUtf8(path), passphrase}), kAccessCapacity);
    if (!answer.ok) return answer;
    const std::optional<AccessReply> parsed = ParseAccessReply(answer.text);
    if (!parsed) return Fault(answer, what + " -> " + Quoted(answer.text) + " is not two decimal integers and an LF");
    access = *parsed;
    return answer;
  }

  Listing ReadList() {
    Listing listing;
    const Answer size = AskInteger("ListSize", Request("ListSize"), listing.size);
    if (!size.ok) {
      listing.sizeWhy = size.why;
      listing.size = -1;
    } else if (listing.size < 0 || listing.size > CDiskServiceClient::kMaxListReplySize) {
      listing.sizeWhy = "ListSize -> " + std::to_string(listing.size) + ", not a size a client accepts";
      listing.size = -1;
    }
    if (listing.size <= 0) return listing;

    const Answer list = Ask("List", Request("List"), static_cast<uint32_t>(listing.size));
    if (list.raw.outcome != ProbeReply::Outcome::Answered) {
      listing.linesWhy = listing.matchWhy = list.why;
      return listing;
    }
    const size_t nul = list.raw.bytes.find('\0');
    const size_t sent = nul == std::string::npos ? list.raw.bytes.size() : nul + 1;
    if (nul == std::string::npos || sent != static_cast<size_t>(listing.size)) {
      listing.matchWhy = "ListSize -> " + std::to_string(listing.size) + ", but the List reply is " +
                         std::to_string(sent) + " bytes" + (nul == std::string::npos ? " without NUL" : " with its NUL");
    }
    listing.entries = ParseListReply(ReplyText(list.raw), listing.linesWhy);
    return listing;
  }

  // ListSize, List and how they agree; false when nobody serves the pipe.
  bool CheckListing() {
    Listing listing = ReadList();
    if (listing.sizeWhy.find("no process serves") != std::string::npos) {
      Report("the pipe is served", listing.sizeWhy);
      return false;
    }
    Report("ListSize", listing.sizeWhy);
    if (listing.size <= 0) return true;
    Report("List lines well formed", listing.linesWhy);
    // The list may have changed between the two requests (a disk mounted meanwhile): once more.
    if (!listing.matchWhy.empty()) listing = ReadList();
    Report("ListSize equals the List reply's size", listing.size > 0 ? listing.matchWhy : listing.sizeWhy);
    m_listed = listing.entries;
    return true;
  }

  // The highest letter that is neither a drive nor listed; 0 when there is none.
  char FreeLetter() const {
    for (char letter = 'Z'; letter >= 'D'; --letter) {
      if ((m_taken & Bit(letter)) == 0) return letter;
    }
    return 0;
  }

  // A drive of the machine that the service does not list, such as C:.
  char DriveInUse() const {
    const uint32_t drives = m_probe.LogicalDrives();
    for (char letter = 'C'; letter <= 'Z'; ++letter) {
      const bool listed = std::any_of(m_listed.begin(), m_listed.end(),
                                      [letter](const ListEntry& entry) { return entry.drive[0] == letter; });
      if ((drives & Bit(letter)) != 0 && !listed) return letter;
    }
    return 0;
  }

  // Why Status of the drive in both forms is not as expected, or empty.
  std::string StatusFault(char letter, bool mounted) {
    for (const std::string& drive : {Drive(letter), RootOf(letter)}) {
      int32_t value = 0;
      const Answer answer = AskInteger("Status " + drive, Request("Status", {drive}), value);
      if (!answer.ok) return answer.why;
      if ((value != 0) != mounted) {
        return "Status " + drive + " -> " + std::to_string(value) + ", but " + Drive(letter) +
               (mounted ? " is listed as mounted" : " is not mounted");
      }
    }
    return {};
  }

  void CheckStatus() {
    if (!m_listed.empty()) {
      std::string why;
      for (const ListEntry& entry : m_listed) {
        if (why.empty()) why = StatusFault(entry.drive[0], true);
      }
      Report("Status of a mounted drive", why);
    }
    std::string why;
    for (char letter : {DriveInUse(), FreeLetter()}) {
      if (letter != 0 && why.empty()) why = StatusFault(letter, false);
    }
    Report("Status of a drive that is not mounted", why);
  }

  void CheckStorageAccessible() {
    AccessReply access;
    Answer answer = AskAccess(m_plan.creatablePath, "", access);
    std::string why = answer.why;
    if (answer.ok && (access.usable == 0 || access.reason != 0)) {
      why = "StorageAccessible -> " + Quoted(answer.text) + " where a new disk can be made (expected 1, LF, 0)";
    } else if (answer.ok && m_probe.FileExists(m_plan.creatablePath)) {
      why = "StorageAccessible made a file at " + Quoted(ToUtf8(m_plan.creatablePath));
    }
    Report("StorageAccessible of a path where a disk can be created", why);

    struct Refused {
      const char* name;
      std::u16string path;
      bool reasonGiven;
    };
    const Refused refused[] = {
        {"StorageAccessible of a file that is no disk", m_plan.noDiskFile, true},
        {"StorageAccessible of a folder", m_plan.folder, false},
        {"StorageAccessible of the service's own pipe", u"\\\\.\\Pipe\\ZelPipe", false},
    };
    for (const Refused& one : refused) {
      answer = AskAccess(one.path, "", access);
      why = answer.why;
      if (answer.ok && (access.usable != 0 || (one.reasonGiven && access.reason == 0))) {
        why = "StorageAccessible -> " + Quoted(answer.text) + (one.reasonGiven ? " (expected 0, LF and a reason)"
                                                                             : " (expected 0, LF, a reason or 0)");
      }
      Report(one.name, why);
    }
  }

  // Unmounts whatever the service lists on the letter, after a check that mounted by mistake.
  void UnmountLetter(char letter) {
    for (const ListEntry& entry : ReadList().entries) {
      int32_t ignored = 0;
      if (entry.drive[0] == letter) AskInteger("Unmount", Request("Unmount", {entry.drive + " " + entry.path}), ignored);
    }
  }

  std::string MountFault(const std::u16string& path, char letter, const char* refusal) {
    if (letter == 0) return "no drive letter to try";
    int32_t number = 0;
    const std::string what = "Mount " + Quoted(ToUtf8(path)) + " on " + Drive(letter);
    const Answer answer = AskInteger(what, Request("Mount", {ToUtf8(path), Drive(letter), "", "", "0"}), number);
    if (!answer.ok) return answer.why;
    if (number != 0) {
      UnmountLetter(letter);
      return what + " -> " + std::to_string(number) + ": it mounted " + refusal;
    }
    return {};
  }

  void CheckMount() {
    Report("Mount of a file that is no disk", MountFault(m_plan.noDiskFile, FreeLetter(), "a file that is no disk"));
    std::string why = MountFault(m_plan.creatablePath, DriveInUse(), "on a drive that is in use");
    if (why.empty() && m_probe.FileExists(m_plan.creatablePath)) {
      why = "the refused Mount left a file at " + Quoted(ToUtf8(m_plan.creatablePath));
      m_probe.RemoveFile(m_plan.creatablePath);
    }
    Report("Mount on a drive in use", why);
  }

  void CheckUnmount() {
    const std::string entry = Drive(FreeLetter()) + " " + ToUtf8(m_plan.creatablePath);
    const Listing before = ReadList();
    int32_t ignored = 0;
    std::string why = AskInteger("Unmount " + Quoted(entry), Request("Unmount", {entry}), ignored).why;
    if (why.empty() && Sorted(ReadList().entries) != Sorted(before.entries)) {
      why = "the list of mounted disks changed";
    }
    Report("Unmount of an entry that is not mounted", why);
  }

  void CheckConnections() {
    const char letter = FreeLetter();
    const std::string status = Request("Status", {Drive(letter)});
    const std::string what = "Status " + Drive(letter);
    std::string why;
    int32_t ignored = 0;
    for (int i = 0; i < kConnectionsInARow && why.empty(); ++i) {
      why = AskInteger(what + " (connection " + std::to_string(i + 1) + " in a row)", status, ignored).why;
    }
    if (why.empty()) {
      m_probe.Abandon("");
      m_probe.Abandon("Status\n");
      why = AskInteger(what + " after two clients left without a whole request", status, ignored).why;
    }
    if (why.empty()) why = AskInteger(what + " read " + std::to_string(kLateReadMs) + " ms late", status, ignored,
                                      kLateReadMs).why;
    Report("one request per connection", why);
  }

  void CheckConcurrentClients() {
    const std::string what = "Status " + Drive(FreeLetter());
    const std::vector<ProbeReply> replies =
        m_probe.ExchangeTogether(Request("Status", {Drive(FreeLetter())}), kIntegerCapacity, kConcurrentClients);
    int busy = 0;
    std::string why;
    for (size_t i = 0; i < replies.size(); ++i) {
      if (replies[i].outcome == ProbeReply::Outcome::Busy) {
        ++busy;
        continue;
      }
      int32_t ignored = 0;
      Answer answer = Judge(what + " from client " + std::to_string(i + 1), replies[i], kIntegerCapacity);
      if (why.empty()) why = Integer(answer, what, ignored).why;
    }
    if (busy > 0) {
      why = std::to_string(busy) + " of " + std::to_string(kConcurrentClients) +
            " clients found the pipe busy (keep at least 16 instances listening)";
    }
    Report(std::to_string(kConcurrentClients) + " concurrent clients", why);
  }

  void CheckLifecycle();

  // The faults of every reply so far, in two accounts.
  void CheckReplies() {
    const auto account = [this](const std::vector<std::string>& faults) -> std::string {
      if (m_nReplies == 0) return "no reply came at all";
      if (faults.empty()) return {};
      return std::to_string(faults.size()) + " of " + std::to_string(m_nReplies) + " replies; the first: " + faults[0];
    };
    Report("replies end in NUL within their capacity", account(m_frameFaults));
    Report("integers in decimal", account(m_decimalFaults));
  }

  IServiceProbe& m_probe;
  const CheckPlan& m_plan;
  const std::function<void(const CheckResult&)>& m_report;
  std::vector<ListEntry> m_listed;
  uint32_t m_taken = 0;  // drive letters that exist or are listed
  int m_nReplies = 0;
  std::vector<std::string> m_frameFaults;
  std::vector<std::string> m_decimalFaults;
};

void CChecker::CheckLifecycle() {
  const std::u16string& path = m_plan.lifecyclePath;
  const std::u16string folder = path.substr(0, path.find_last_of(u"\\/"));
  std::vector<std::u16string> namesBefore = m_probe.FolderEntries(folder);
  std::sort(namesBefore.begin(), namesBefore.end());
  const Listing before = ReadList();
  const char letter = FreeLetter();
  const std::string drive = Drive(letter);

  // Created where no file was, with a label and a passphrase, and mounted.
  AccessReply access;
  Answer answer = AskAccess(path, "", access);
  std::string why = answer.why;
  if (letter == 0) why = "no free drive letter";
  if (why.empty() && (access.usable == 0 || access.reason != 0)) {
    why = "StorageAccessible -> " + Quoted(answer.text) + " where a new disk can be made (expected 1, LF, 0)";
  }
  int32_t number = 0;
  if (why.empty()) {
    why = AskInteger("Mount", Request("Mount", {ToUtf8(path), drive, kLabel, kPassphrase, "0"}), number).why;
    if (why.empty() && number == 0) why = "Mount " + Quoted(ToUtf8(path)) + " on " + drive + " -> 0";
    if (why.empty() && !m_probe.FileExists(path)) why = "Mount answered " + std::to_string(number) + " but made no file";
  }
  Report("lifecycle: Mount creates a new disk on a free drive", why);
  if (!why.empty()) {
    if (number != 0) UnmountLetter(letter);
    m_probe.RemoveFile(path);
    return;
  }

  why = "the drive letter did not appear within " + std::to_string(kDriveWaitMs / 1000) + " s";
  for (uint32_t waited = 0; waited <= kDriveWaitMs; waited += kPollMs) {
    if ((m_probe.LogicalDrives() & Bit(letter)) != 0) {
      why.clear();
      break;
    }
    m_probe.Pause(kPollMs);
  }
  Report("lifecycle: the drive letter appears", why);

  // Listed with its path, beside every disk that was listed before, and reported by Status.
  const Listing mounted = ReadList();
  why = !mounted.sizeWhy.empty() ? mounted.sizeWhy : !mounted.linesWhy.empty() ? mounted.linesWhy : mounted.matchWhy;
  if (why.empty() && mounted.size == 0) why = "ListSize -> 0 with a disk mounted";
  std::string entryText = drive + " " + ToUtf8(path);
  auto ours = std::find_if(mounted.entries.begin(), mounted.entries.end(),
                           [letter](const ListEntry& entry) { return entry.drive[0] == letter; });
  if (why.empty() && ours == mounted.entries.end()) why = "List has no line for " + drive;
  if (why.empty() && LowerAscii(ours->path) != LowerAscii(ToUtf8(path))) {
    why = "List shows " + Quoted(ours->path) + " on " + drive;
  }
  if (ours != mounted.entries.end()) entryText = ours->drive + " " + ours->path;
  for (const ListEntry& other : before.entries) {
    const bool kept = std::any_of(mounted.entries.begin(), mounted.entries.end(), [&other](const ListEntry& entry) {
      return entry.drive == other.drive && entry.path == other.path;
    });
    if (why.empty() && !kept) why = "the disk on " + other.drive + " is no longer listed";
  }
  if (why.empty()) why = StatusFault(letter, true);
  Report("lifecycle: List and Status show the disk", why);

  // Unmounted with the entry text the program sends back; nothing else changes.
  int32_t ignored = 0;
  why = AskInteger("Unmount " + Quoted(entryText), Request("Unmount", {entryText}), ignored).why;
  if (why.empty()) why = StatusFault(letter, false);
  if (why.empty() && Sorted(ReadList().entries) != Sorted(before.entries)) {
    why = "after Unmount the list is not what it was before Mount";
  }
  Report("lifecycle: Unmount", why);

  // The new disk needs its passphrase.
  why.clear();
  const std::pair<std::string, AccessReply> expected[] = {
      {"", {0, 4}}, {std::string("not ") + kPassphrase, {0, 4}}, {kPassphrase, {1, 0}}};
  for (const auto& [passphrase, reply] : expected) {
    answer = AskAccess(path, passphrase, access);
    if (why.empty()) why = answer.why;
    if (why.empty() && ((access.usable != 0) != (reply.usable != 0) || access.reason != reply.reason)) {
      why = "StorageAccessible with " + (passphrase.empty() ? std::string("an empty passphrase") : Quoted(passphrase)) +
            " -> " + Quoted(answer.text) + " (expected " + std::to_string(reply.usable) + ", LF, " +
            std::to_string(reply.reason) + ")";
    }
  }
  Report("lifecycle: StorageAccessible reasons of the new encrypted disk", why);

  // Let go of: the file can be removed, and the folder is as it was.
  why.clear();
  if (!m_probe.RemoveFile(path)) why = "the disk file cannot be removed after Unmount (is it still held open?)";
  std::vector<std::u16string> namesAfter = m_probe.FolderEntries(folder);
  std::sort(namesAfter.begin(), namesAfter.end());
  if (why.empty() && namesAfter != namesBefore) why = "the folder's other files changed";
  Report("lifecycle: the disk file can be removed", why);
}

}  // namespace

void RunConformanceChecks(IServiceProbe& probe, const CheckPlan& plan,
                          const std::function<void(const CheckResult&)>& report) {
  CChecker(probe, plan, report).Run();
}
