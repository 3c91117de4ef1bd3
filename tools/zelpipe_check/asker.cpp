// What every check of zelpipe-check does: one request, one judged reply.
#include "tools/zelpipe_check/asker.h"

#include <algorithm>

#include "common/text.h"

namespace {

// Replies other than Status that take longer are reported, though no client gives up on them:
// Lockvale waits for every reply on its window's thread, so its window is dead meanwhile.
constexpr uint32_t kSlowReplyMs = 2000;

}  // namespace

std::string Request(ServiceRequest kind, std::initializer_list<std::string> args) {
  std::vector<std::u16string> lines;
  lines.reserve(args.size());
  for (const std::string& arg : args) lines.push_back(FromUtf8(arg));
  const SecretBytes bytes = RequestBytes(kind, lines);
  return std::string(bytes.data(), bytes.size());
}

uint32_t ReplyTimeLimitMs(ServiceRequest kind) {
  return kind == ServiceRequest::Status ? kStatusReplyDeadlineMs : kSlowReplyMs;
}

std::string Drive(char letter) { return {letter, ':'}; }
std::string RootOf(char letter) { return {letter, ':', '\\'}; }
uint32_t Bit(char letter) { return 1u << (letter - 'A'); }

std::vector<std::pair<std::string, std::string>> Sorted(const std::vector<ListEntry>& entries) {
  std::vector<std::pair<std::string, std::string>> pairs;
  pairs.reserve(entries.size());
  for (const ListEntry& entry : entries) pairs.emplace_back(entry.drive, entry.path);
  std::sort(pairs.begin(), pairs.end());
  return pairs;
}

void CAsker::Time(ServiceRequest kind, const std::string& what, uint32_t ms) {
  ReplyTimes& times = m_times[kind];
  ++times.replies;
  if (kind != ServiceRequest::Status && ms > ReplyTimeLimitMs(kind)) ++times.overLimit;
  if (times.replies == 1 || ms > times.slowestMs) {
    times.slowestMs = ms;
    times.slowest = what;
  }
}

void CAsker::AskStatusAgain(const std::string& what, const std::string& request, uint32_t capacity,
                            uint32_t firstMs) {
  const ProbeReply again = m_probe.Exchange(request, capacity, 0);
  const bool answered = again.outcome == ProbeReply::Outcome::Answered;
  if (answered) Time(ServiceRequest::Status, what, again.elapsedMs);
  ReplyTimes& times = m_times[ServiceRequest::Status];
  const bool twice = !answered || again.elapsedMs > ReplyTimeLimitMs(ServiceRequest::Status);
  if (twice) ++times.overLimit;
  std::string& account = twice ? times.slowTwice : times.slowOnce;
  if (account.empty()) {
    account = what + " took " + std::to_string(firstMs) + " ms, and " +
              (answered ? std::to_string(again.elapsedMs) + " ms" : ExchangeFault(again)) + " when asked again";
  }
}

CAsker::Answer CAsker::Judge(const std::string& what, const ProbeReply& raw, uint32_t capacity) {
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

CAsker::Answer CAsker::Ask(const std::string& what, const std::string& request, uint32_t capacity,
                           uint32_t readDelayMs) {
  const ProbeReply raw = m_probe.Exchange(request, capacity, readDelayMs);
  const std::optional<ReceivedRequest> sent = ReadRequest(request);
  if (sent && raw.outcome == ProbeReply::Outcome::Answered) {
    Time(sent->kind, what, raw.elapsedMs);
    if (sent->kind == ServiceRequest::Status && raw.elapsedMs > ReplyTimeLimitMs(sent->kind)) {
      AskStatusAgain(what, request, capacity, raw.elapsedMs);
    }
  }
  return Judge(what, raw, capacity);
}

CAsker::Answer& CAsker::Fault(Answer& answer, const std::string& why) {
  answer.ok = false;
  answer.why = why;
  m_numberFaults.push_back(why);
  return answer;
}

CAsker::Answer& CAsker::Integer(Answer& answer, const std::string& what, int32_t& value) {
  if (!answer.ok) return answer;
  const std::optional<int32_t> number = DecimalInteger(answer.text);
  if (!number) return Fault(answer, what + " -> " + Quoted(answer.text) + " is no decimal integer");
  value = *number;
  return answer;
}

CAsker::Answer CAsker::AskInteger(const std::string& what, const std::string& request, int32_t& value,
                                  uint32_t readDelayMs) {
  Answer answer = Ask(what, request, kIntegerReplyCapacity, readDelayMs);
  return Integer(answer, what, value);
}

CAsker::Answer CAsker::AskAccess(const std::u16string& path, const std::string& passphrase, AccessReply& access) {
  const std::string what = "StorageAccessible " + Quoted(ToUtf8(path));
  Answer answer = Ask(what, Request(ServiceRequest::StorageAccessible, {ToUtf8(path), passphrase}),
                      kAccessReplyCapacity);
  if (!answer.ok) return answer;
  const std::optional<AccessReply> parsed = ParseAccessReply(answer.text);
  if (!parsed) return Fault(answer, what + " -> " + Quoted(answer.text) + " is not two decimal integers and an LF");
  access = *parsed;
  return answer;
}

CAsker::Listing CAsker::ReadList() {
  Listing listing;
  const Answer size = AskInteger("ListSize", Request(ServiceRequest::ListSize), listing.size);
  if (!size.ok) {
    listing.sizeWhy = size.why;
    listing.size = -1;
  } else if (listing.size < 0 || listing.size > kMaxListReplySize) {
    listing.sizeWhy = "ListSize -> " + std::to_string(listing.size) + ", not a size a client accepts";
    listing.size = -1;
  }
  if (listing.size <= 0) return listing;

  const Answer list = Ask("List", Request(ServiceRequest::List), static_cast<uint32_t>(listing.size));
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

std::string CAsker::StatusFault(char letter, bool mounted) {
  for (const std::string& drive : {Drive(letter), RootOf(letter)}) {
    int32_t value = 0;
    const Answer answer = AskInteger("Status " + drive, Request(ServiceRequest::Status, {drive}), value);
    if (!answer.ok) return answer.why;
    if ((value != 0) != mounted) {
      return "Status " + drive + " -> " + std::to_string(value) + ", but " + Drive(letter) +
             (mounted ? " is listed as mounted" : " is not mounted");
    }
  }
  return {};
}

void CAsker::UnmountLetter(char letter) {
  for (const ListEntry& entry : ReadList().entries) {
    int32_t ignored = 0;
    if (entry.drive[0] != letter) continue;
    AskInteger("Unmount", Request(ServiceRequest::Unmount, {entry.drive + " " + entry.path}), ignored);
  }
}
