// zelpipe-check's checks of a running service, in the order they run.
#include "tools/zelpipe_check/conformance.h"

#include <algorithm>
#include <map>

#include "common/service_protocol.h"
#include "common/text.h"
#include "tools/zelpipe_check/asker.h"

namespace {

constexpr uint32_t kIntegerCapacity = kIntegerReplyCapacity;
static_assert(kStatusReplyDeadlineMs == 1000, "the Status reply time check speaks of 1 s");
constexpr int kConcurrentClients = 16;
// Each reply of the burst: looser than the 1 s of a client on its own, as 16 menus at once are
// rare and the machine answers them side by side.
constexpr uint32_t kBurstReplyMs = 3000;
constexpr int kConnectionsInARow = 20;
constexpr uint32_t kLateReadMs = 300;

class CChecker {
 public:
  CChecker(IServiceProbe& probe, const CheckPlan& plan, const std::function<void(const CheckResult&)>& report,
           const ReportNote& note)
      : m_asker(probe), m_plan(plan), m_report(report), m_note(note) {}

  void Run() {
    if (!CheckListing()) return;
    Report("who may connect to the pipe", PipeAccessFault(m_asker.Probe().ReadPipeAccess()));
    m_taken = m_asker.Probe().LogicalDrives();
    for (const ListEntry& entry : m_listed) m_taken |= Bit(entry.drive[0]);
    CheckStatus();
    CheckStorageAccessible();
    CheckMount();
    CheckUnmount();
    CheckConnections();
    CheckConcurrentClients();
    if (!m_plan.lifecyclePath.empty()) {
      CheckLifecycle(m_asker, m_plan.lifecyclePath, FreeLetter(),
                     [this](const std::string& name, const std::string& why) { Report(name, why); });
    }
    CheckReplies();
    CheckReplyTimes();
  }

 private:
  void Report(const std::string& name, const std::string& why) { m_report({name, why.empty(), why}); }

  // ListSize, List and how they agree; false when nobody serves the pipe.
  bool CheckListing() {
    CAsker::Listing listing = m_asker.ReadList();
    if (listing.sizeWhy.find("no process serves") != std::string::npos) {
      Report("the pipe is served", listing.sizeWhy);
      return false;
    }
    Report("ListSize", listing.sizeWhy);
    if (listing.size <= 0) return true;
    Report("List lines well formed", listing.linesWhy);
    // The list may have changed between the two requests (a disk mounted meanwhile): once more.
    if (!listing.matchWhy.empty()) listing = m_asker.ReadList();
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
  char DriveInUse() {
    const uint32_t drives = m_asker.Probe().LogicalDrives();
    for (char letter = 'C'; letter <= 'Z'; ++letter) {
      const bool listed = std::any_of(m_listed.begin(), m_listed.end(),
                                      [letter](const ListEntry& entry) { return entry.drive[0] == letter; });
      if ((drives & Bit(letter)) != 0 && !listed) return letter;
    }
    return 0;
  }

  void CheckStatus() {
    if (!m_listed.empty()) {
      std::string why;
      for (const ListEntry& entry : m_listed) {
        if (why.empty()) why = m_asker.StatusFault(entry.drive[0], true);
      }
      Report("Status of a mounted drive", why);
    }
    std::string why;
    for (char letter : {DriveInUse(), FreeLetter()}) {
      if (letter != 0 && why.empty()) why = m_asker.StatusFault(letter, false);
    }
    Report("Status of a drive that is not mounted", why);
  }

  void CheckStorageAccessible() {
    AccessReply access;
    CAsker::Answer answer = m_asker.AskAccess(m_plan.creatablePath, "", access);
    std::string why = answer.why;
    if (answer.ok && (access.usable == 0 || access.reason != 0)) {
      why = "StorageAccessible -> " + Quoted(answer.text) + " where a new disk can be made (expected 1, LF, 0)";
    } else if (answer.ok && m_asker.Probe().FileExists(m_plan.creatablePath)) {
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
      answer = m_asker.AskAccess(one.path, "", access);
      why = answer.why;
      if (answer.ok && (access.usable != 0 || (one.reasonGiven && access.reason == 0))) {
        why = "StorageAccessible -> " + Quoted(answer.text) + (one.reasonGiven ? " (expected 0, LF and a reason)"
                                                                             : " (expected 0, LF, a reason or 0)");
      }
      Report(one.name, why);
    }
  }

  std::string MountFault(const std::u16string& path, char letter, const char* refusal) {
    if (letter == 0) return "no drive letter to try";
    int32_t number = 0;
    const std::string what = "Mount " + Quoted(ToUtf8(path)) + " on " + Drive(letter);
    const CAsker::Answer answer =
        m_asker.AskInteger(what, Request(ServiceRequest::Mount, {ToUtf8(path), Drive(letter), "", "", "0"}), number);
    if (!answer.ok) return answer.why;
    if (number != 0) {
      m_asker.UnmountLetter(letter);
      return what + " -> " + std::to_string(number) + ": it mounted " + refusal;
    }
    return {};
  }

  void CheckMount() {
    Report("Mount of a file that is no disk", MountFault(m_plan.noDiskFile, FreeLetter(), "a file that is no disk"));
    std::string why = MountFault(m_plan.creatablePath, DriveInUse(), "on a drive that is in use");
    if (why.empty() && m_asker.Probe().FileExists(m_plan.creatablePath)) {
      why = "the refused Mount left a file at " + Quoted(ToUtf8(m_plan.creatablePath));
      m_asker.Probe().RemoveFile(m_plan.creatablePath);
    }
    Report("Mount on a drive in use", why);
  }

  void CheckUnmount() {
    const std::string entry = Drive(FreeLetter()) + " " + ToUtf8(m_plan.creatablePath);
    const CAsker::Listing before = m_asker.ReadList();
    int32_t ignored = 0;
    std::string why =
        m_asker.AskInteger("Unmount " + Quoted(entry), Request(ServiceRequest::Unmount, {entry}), ignored).why;
    if (why.empty() && Sorted(m_asker.ReadList().entries) != Sorted(before.entries)) {
      why = "the list of mounted disks changed";
    }
    Report("Unmount of an entry that is not mounted", why);
  }

  void CheckConnections() {
    const std::string status = Request(ServiceRequest::Status, {Drive(FreeLetter())});
    const std::string what = "Status " + Drive(FreeLetter());
    std::string why;
    int32_t ignored = 0;
    for (int i = 0; i < kConnectionsInARow && why.empty(); ++i) {
      why = m_asker.AskInteger(what + " (connection " + std::to_string(i + 1) + " in a row)", status, ignored).why;
    }
    if (why.empty()) {
      m_asker.Probe().Abandon("");
      m_asker.Probe().Abandon("Status\n");
      why = m_asker.AskInteger(what + " after two clients left without a whole request", status, ignored).why;
    }
    if (why.empty()) {
      why = m_asker.AskInteger(what + " read " + std::to_string(kLateReadMs) + " ms late", status, ignored, kLateReadMs)
                .why;
    }
    Report("one request per connection", why);
  }

  void CheckConcurrentClients() {
    const std::string what = "Status " + Drive(FreeLetter());
    const std::string request = Request(ServiceRequest::Status, {Drive(FreeLetter())});
    const std::vector<ProbeReply> replies =
        m_asker.Probe().ExchangeTogether(request, kIntegerCapacity, kConcurrentClients);
    int busy = 0;
    std::string why;
    std::string slowest;
    uint32_t slowestMs = 0;
    for (size_t i = 0; i < replies.size(); ++i) {
      if (replies[i].outcome == ProbeReply::Outcome::Busy) {
        ++busy;
        continue;
      }
      int32_t ignored = 0;
      const std::string client = what + " from client " + std::to_string(i + 1);
      CAsker::Answer answer = m_asker.Judge(client, replies[i], kIntegerCapacity);
      if (why.empty()) why = m_asker.Integer(answer, what, ignored).why;
      if (answer.raw.outcome == ProbeReply::Outcome::Answered && answer.raw.elapsedMs >= slowestMs) {
        slowestMs = answer.raw.elapsedMs;
        slowest = client;
      }
    }
    if (why.empty() && slowestMs > kBurstReplyMs) {
      why = slowest + " took " + Ms(slowestMs) + "; with 16 clients at once each reply should come within " +
            std::to_string(kBurstReplyMs / 1000) + " s";
    }
    if (busy > 0) {
      why = std::to_string(busy) + " of " + std::to_string(kConcurrentClients) +
            " clients found the pipe busy (keep at least 16 instances listening)";
    }
    Report(std::to_string(kConcurrentClients) + " concurrent clients", why);
  }

  // The faults of every reply so far, in two accounts.
  void CheckReplies() {
    const auto account = [this](const std::vector<std::string>& faults) -> std::string {
      if (m_asker.Replies() == 0) return "no reply came at all";
      if (faults.empty()) return {};
      return std::to_string(faults.size()) + " of " + std::to_string(m_asker.Replies()) +
             " replies; the first: " + faults[0];
    };
    Report("replies end in NUL within their capacity", account(m_asker.FrameFaults()));
    Report("integers in decimal", account(m_asker.NumberFaults()));
  }

  // How long the replies took, as a client on its own waits for them: a Status request whose
  // reply is later than ZelToolExt waits, twice in a row, fails; other slow replies are noted.
  // Last, the slowest of each kind.
  void CheckReplyTimes() {
    const std::map<ServiceRequest, CAsker::ReplyTimes>& times = m_asker.Times();
    const auto status = times.find(ServiceRequest::Status);
    std::string why;
    if (status == times.end()) {
      why = "no Status reply came at all";
    } else if (!status->second.slowTwice.empty()) {
      const CAsker::ReplyTimes& slow = status->second;
      why = slow.slowTwice;
      if (slow.overLimit > 1) why += " (" + std::to_string(slow.overLimit) + " requests missed 1 s twice)";
      why += "; ZelToolExt gives up after 1 s: its menus would treat the drive as not mounted";
    } else if (!status->second.slowOnce.empty()) {
      m_note("SLOW once: " + status->second.slowOnce + "; ZelToolExt gives up after 1 s");
    }
    Report("Status replies within 1 s", why);

    std::string summary;
    for (ServiceRequest kind : kServiceRequests) {
      const auto found = times.find(kind);
      if (found == times.end()) continue;
      const CAsker::ReplyTimes& kindTimes = found->second;
      if (kind != ServiceRequest::Status && kindTimes.overLimit > 0) {
        m_note("SLOW " + kindTimes.slowest + " took " + Ms(kindTimes.slowestMs) + ", over " +
               std::to_string(ReplyTimeLimitMs(kind) / 1000) +
               " s: Lockvale waits for every reply on its window's thread, so its window does not answer meanwhile");
      }
      summary += (summary.empty() ? "" : ", ") + ToUtf8(KeywordOf(kind)) + " " + Ms(kindTimes.slowestMs);
    }
    if (!summary.empty()) m_note("slowest reply per request: " + summary);
  }

  static std::string Ms(uint32_t ms) { return std::to_string(ms) + " ms"; }

  CAsker m_asker;
  const CheckPlan& m_plan;
  const std::function<void(const CheckResult&)>& m_report;
  const ReportNote& m_note;
  std::vector<ListEntry> m_listed;
  uint32_t m_taken = 0;  // drive letters that exist or are listed
};

}  // namespace

void RunConformanceChecks(IServiceProbe& probe, const CheckPlan& plan,
                          const std::function<void(const CheckResult&)>& report, const ReportNote& note) {
  CChecker(probe, plan, report, note).Run();
}
