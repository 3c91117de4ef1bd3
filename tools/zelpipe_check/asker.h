// What every check of zelpipe-check does: send one request on a connection of its own and
// judge the reply. Each fault of a reply's frame or numbers is also kept for the closing
// account over all replies.
#pragma once

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <map>
#include <string>
#include <vector>

#include "common/service_protocol.h"
#include "tools/zelpipe_check/conformance.h"
#include "tools/zelpipe_check/reply_rules.h"

// A request's bytes exactly as our clients send it, its arguments given as UTF-8.
std::string Request(ServiceRequest kind, std::initializer_list<std::string> args = {});
// How long a reply of this kind may take before the checks speak of it: for Status, as long as
// ZelToolExt waits for it.
uint32_t ReplyTimeLimitMs(ServiceRequest kind);
std::string Drive(char letter);   // "E:"
std::string RootOf(char letter);  // "E:\"
uint32_t Bit(char letter);        // the letter in a drive mask
// List entries in an order that does not depend on the service's.
std::vector<std::pair<std::string, std::string>> Sorted(const std::vector<ListEntry>& entries);

// Hands a check's outcome on: it passed when why is empty.
using ReportCheck = std::function<void(const std::string& name, const std::string& why)>;

class CAsker {
 public:
  explicit CAsker(IServiceProbe& probe) : m_probe(probe) {}

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

  // The times of the replies of one kind of request, each from a client on its own.
  struct ReplyTimes {
    int replies = 0;
    // Replies slower than ReplyTimeLimitMs; for Status, requests whose reply missed it, and
    // missed it again when asked once more.
    int overLimit = 0;
    uint32_t slowestMs = 0;
    std::string slowest;  // names the slowest request
    // Status: the first request that missed the limit twice, and the first that missed it only
    // once, with both times.
    std::string slowTwice;
    std::string slowOnce;
  };

  IServiceProbe& Probe() { return m_probe; }

  // what names the request in messages ("Status E:").
  Answer Judge(const std::string& what, const ProbeReply& raw, uint32_t capacity);
  Answer Ask(const std::string& what, const std::string& request, uint32_t capacity, uint32_t readDelayMs = 0);
  // Checks that a judged reply is one decimal integer.
  Answer& Integer(Answer& answer, const std::string& what, int32_t& value);
  Answer AskInteger(const std::string& what, const std::string& request, int32_t& value, uint32_t readDelayMs = 0);
  Answer AskAccess(const std::u16string& path, const std::string& passphrase, AccessReply& access);
  Listing ReadList();
  // Why Status of the drive, in both its forms, is not as expected; empty when it is.
  std::string StatusFault(char letter, bool mounted);
  // Unmounts whatever the service lists on the letter (after a check that mounted by mistake).
  void UnmountLetter(char letter);

  int Replies() const { return m_nReplies; }
  const std::vector<std::string>& FrameFaults() const { return m_frameFaults; }
  const std::vector<std::string>& NumberFaults() const { return m_numberFaults; }
  const std::map<ServiceRequest, ReplyTimes>& Times() const { return m_times; }

 private:
  Answer& Fault(Answer& answer, const std::string& why);
  void Time(ServiceRequest kind, const std::string& what, uint32_t ms);
  // A Status reply later than ZelToolExt waits is asked for once more at once: one late reply
  // may be the machine's doing (another program had the processor), a slow service is slow again.
  void AskStatusAgain(const std::string& what, const std::string& request, uint32_t capacity, uint32_t firstMs);

  IServiceProbe& m_probe;
  int m_nReplies = 0;
  std::vector<std::string> m_frameFaults;
  std::vector<std::string> m_numberFaults;
  std::map<ServiceRequest, ReplyTimes> m_times;
};

// Creates a disk of its own at path, mounts it on letter, finds it, unmounts it and removes it.
void CheckLifecycle(CAsker& asker, const std::u16string& path, char letter, const ReportCheck& report);
