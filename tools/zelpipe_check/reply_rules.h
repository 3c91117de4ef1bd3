// What a well-formed reply of the disk service is, judged from the bytes a client receives:
// its text and one NUL, in one write, within the capacity the request allows; integers in
// decimal; List lines of drive, path and number.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// One exchange on a connection of its own, as the checker saw it.
struct ProbeReply {
  enum class Outcome {
    Answered,    // bytes came back
    NoService,   // nobody serves the pipe
    Busy,        // every instance of the pipe was taken
    CannotOpen,  // the pipe is there but would not let us in
    NotSent,     // the request could not be written whole
    NoReply,     // nothing came back before the deadline
    Closed,      // the connection ended without a byte
  };
  Outcome outcome = Outcome::NoService;
  std::string bytes;      // everything received, in order
  size_t firstRead = 0;   // how many of them the first read delivered: all that a client reads
  uint32_t detail = 0;    // the system's error code (CannotOpen) or the deadline in ms (NoReply)
  uint32_t elapsedMs = 0; // Answered: from the open to the end of the first read, as a client waits
};

// Why the exchange brought no reply at all, or empty when bytes came back.
std::string ExchangeFault(const ProbeReply& reply);

// Why a reply is not what a client can take in one read of capacity bytes (its text, one NUL,
// nothing after it), or empty when it is.
std::string FrameFault(const ProbeReply& reply, uint32_t capacity);

// The reply's text, up to its NUL.
std::string ReplyText(const ProbeReply& reply);

// Text shown in a message: quoted, shortened, control characters escaped.
std::string Quoted(std::string_view text);

// A decimal signed 32-bit integer and nothing else: an optional minus sign and digits.
std::optional<int32_t> DecimalInteger(std::string_view text);

struct AccessReply {
  int32_t usable = 0;
  int32_t reason = 0;
};
// StorageAccessible's two integers, separated by LF; one LF after them is allowed.
std::optional<AccessReply> ParseAccessReply(std::string_view text);

struct ListEntry {
  std::string drive;  // the first field, starting with the drive's capital letter
  std::string path;
};
// The lines of a List reply, each "drive TAB path TAB number" and an LF (further fields are
// allowed), one per drive letter. why says what is wrong when they are not well formed.
std::vector<ListEntry> ParseListReply(std::string_view text, std::string& why);
