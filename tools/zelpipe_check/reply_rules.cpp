// What a well-formed reply of the disk service is.
#include "tools/zelpipe_check/reply_rules.h"

#include <limits>

#include "common/printable.h"

namespace {

std::string Count(size_t n, const char* one) { return std::to_string(n) + " " + one + (n == 1 ? "" : "s"); }

std::vector<std::string_view> Split(std::string_view text, char separator) {
  std::vector<std::string_view> pieces;
  for (size_t start = 0;;) {
    const size_t end = text.find(separator, start);
    pieces.push_back(text.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start));
    if (end == std::string_view::npos) return pieces;
    start = end + 1;
  }
}

}  // namespace

std::string ExchangeFault(const ProbeReply& reply) {
  switch (reply.outcome) {
    case ProbeReply::Outcome::Answered: return {};
    case ProbeReply::Outcome::NoService: return "no process serves \\\\.\\Pipe\\ZelPipe";
    case ProbeReply::Outcome::Busy: return "the pipe was busy (no free instance; a client never waits)";
    case ProbeReply::Outcome::CannotOpen: return "the pipe could not be opened (error " + std::to_string(reply.detail) + ")";
    case ProbeReply::Outcome::NotSent: return "the request could not be written whole";
    case ProbeReply::Outcome::NoReply: return "no reply within " + std::to_string(reply.detail) + " ms";
    case ProbeReply::Outcome::Closed: return "the connection was closed without a reply";
  }
  return "no reply";
}

std::string FrameFault(const ProbeReply& reply, uint32_t capacity) {
  std::string fault = ExchangeFault(reply);
  if (!fault.empty()) return fault;
  const size_t nul = reply.bytes.find('\0');
  if (nul == std::string::npos) return "no NUL in the " + Count(reply.bytes.size(), "byte") + " it sent";
  if (nul + 1 > capacity) {
    return Count(nul + 1, "byte") + " with its NUL, over the capacity of " + std::to_string(capacity);
  }
  if (nul >= reply.firstRead) {
    return "the reply came in more than one write; a client reads once and gets " +
           Count(reply.firstRead, "byte") + " without the NUL";
  }
  if (reply.bytes.size() > nul + 1) return Count(reply.bytes.size() - nul - 1, "byte") + " after its NUL";
  return {};
}

std::string ReplyText(const ProbeReply& reply) { return reply.bytes.substr(0, reply.bytes.find('\0')); }

std::string Quoted(std::string_view text) {
  constexpr size_t kShown = 160;
  return "\"" + PrintableText(text.substr(0, kShown)) + (text.size() > kShown ? "...\"" : "\"");
}

std::optional<int32_t> DecimalInteger(std::string_view text) {
  const bool negative = !text.empty() && text[0] == '-';
  const std::string_view digits = text.substr(negative ? 1 : 0);
  if (digits.empty() || digits.size() > 10) return std::nullopt;
  int64_t value = 0;
  for (char c : digits) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + (c - '0');
  }
  if (negative) value = -value;
  if (value < std::numeric_limits<int32_t>::min() || value > std::numeric_limits<int32_t>::max()) return std::nullopt;
  return static_cast<int32_t>(value);
}

std::optional<AccessReply> ParseAccessReply(std::string_view text) {
  if (!text.empty() && text.back() == '\n') text.remove_suffix(1);
  const std::vector<std::string_view> parts = Split(text, '\n');
  if (parts.size() != 2) return std::nullopt;
  const std::optional<int32_t> usable = DecimalInteger(parts[0]);
  const std::optional<int32_t> reason = DecimalInteger(parts[1]);
  if (!usable || !reason) return std::nullopt;
  return AccessReply{*usable, *reason};
}

std::vector<ListEntry> ParseListReply(std::string_view text, std::string& why) {
  why.clear();
  std::vector<ListEntry> entries;
  if (text.empty()) return entries;
  if (text.back() != '\n') {
    why = "its last line does not end with LF";
    return {};
  }
  text.remove_suffix(1);
  size_t number = 0;
  for (std::string_view line : Split(text, '\n')) {
    ++number;
    const std::string where = "line " + std::to_string(number) + " " + Quoted(line);
    const std::vector<std::string_view> fields = Split(line, '\t');
    if (fields.size() < 3) {
      why = where + " has not the three fields drive, path and number";
    } else if (fields[0].empty() || fields[0][0] < 'A' || fields[0][0] > 'Z') {
      why = where + " does not start with a capital drive letter";
    } else if (fields[1].empty()) {
      why = where + " has an empty path";
    } else if (!DecimalInteger(fields[2])) {
      why = where + " has a third field that is no decimal integer";
    } else if (line.find('\r') != std::string_view::npos) {
      why = where + " holds a carriage return";
    } else {
      for (const ListEntry& earlier : entries) {
        if (earlier.drive[0] == fields[0][0]) why = where + " lists drive " + std::string(1, fields[0][0]) + " again";
      }
    }
    if (!why.empty()) return {};
    entries.push_back({std::string(fields[0]), std::string(fields[1])});
  }
  return entries;
}
