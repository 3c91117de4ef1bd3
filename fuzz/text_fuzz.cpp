// The text helpers every reply and request goes through. The input is read twice: as UTF-8 (a
// reply from the pipe) and as raw UTF-16 units (text from a window or the registry).
#include <cerrno>
#include <cstdlib>
#include <string>

#include "common/text.h"
#include "fuzz/fuzz_input.h"

namespace {

bool IsHigh(char16_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool IsLow(char16_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

// The text with every unpaired surrogate replaced by U+FFFD, everything else as it is.
std::u16string WithoutLoneSurrogates(std::u16string_view text) {
  std::u16string out(text);
  for (size_t i = 0; i < out.size(); ++i) {
    if (IsHigh(out[i]) && i + 1 < out.size() && IsLow(out[i + 1])) {
      ++i;
    } else if (IsHigh(out[i]) || IsLow(out[i])) {
      out[i] = u'\uFFFD';
    }
  }
  return out;
}

bool HasLoneSurrogate(std::u16string_view text) { return WithoutLoneSurrogates(text) != text; }

// The C library's reading of a leading decimal number, narrowed to 32 bits the way the service
// protocol wants it: no number, or one out of range, is 0.
int32_t LibraryInteger(std::u16string_view text) {
  std::string narrow;
  for (char16_t c : text) narrow.push_back(c > 0 && c < 0x80 ? static_cast<char>(c) : '#');
  errno = 0;
  char* end = nullptr;
  const long long value = std::strtoll(narrow.c_str(), &end, 10);
  if (end == narrow.c_str() || errno == ERANGE || value < INT32_MIN || value > INT32_MAX) return 0;
  return static_cast<int32_t>(value);
}

void CheckSplit(std::u16string_view text, char16_t separator) {
  const std::vector<std::u16string> pieces = SplitText(text, separator);
  std::u16string joined;
  for (size_t i = 0; i < pieces.size(); ++i) {
    FUZZ_CHECK(pieces[i].find(separator) == std::u16string::npos);
    if (i > 0) joined += separator;
    joined += pieces[i];
  }
  // Only a separator at the very end leaves no piece behind it.
  if (!text.empty() && text.back() == separator) joined += separator;
  FUZZ_CHECK(joined == text);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);

  // UTF-8 in: never more units than bytes, never a NUL or a lone surrogate, and well-formed
  // text (nothing replaced) comes back byte for byte.
  const std::string_view beforeNul = bytes.substr(0, bytes.find('\0'));
  const std::u16string decoded = FromUtf8(bytes);
  FUZZ_CHECK(decoded.size() <= beforeNul.size());
  FUZZ_CHECK(decoded.find(u'\0') == std::u16string::npos);
  FUZZ_CHECK(!HasLoneSurrogate(decoded));
  const std::string encoded = ToUtf8(decoded);
  FUZZ_CHECK(FromUtf8(encoded) == decoded);
  if (decoded.find(u'\uFFFD') == std::u16string::npos) FUZZ_CHECK(encoded == beforeNul);

  // UTF-16 in: at most three bytes a unit, and the same units back but for lone surrogates.
  const std::u16string units = Utf16Units(bytes);
  const std::u16string_view unitsBeforeNul = std::u16string_view(units).substr(0, units.find(u'\0'));
  const std::string utf8 = ToUtf8(units);
  FUZZ_CHECK(utf8.size() <= 3 * unitsBeforeNul.size());
  FUZZ_CHECK(utf8.find('\0') == std::string::npos);
  const std::u16string back = FromUtf8(utf8);
  FUZZ_CHECK(back.size() == unitsBeforeNul.size());
  FUZZ_CHECK(back == WithoutLoneSurrogates(unitsBeforeNul));

  // The integer rule agrees with the C library on any text, and reads back any 32-bit number
  // whatever blanks come before it and whatever follows it.
  FUZZ_CHECK(ReadInteger(decoded) == LibraryInteger(decoded));
  FUZZ_CHECK(ReadInteger(units) == LibraryInteger(units));
  const int32_t number = static_cast<int32_t>(Number32(bytes));
  const std::u16string written = U16(std::to_string(number));
  FUZZ_CHECK(ReadInteger(u" \t\n" + written + u"x" + decoded.substr(0, 8)) == number);

  CheckSplit(decoded, u'\n');
  CheckSplit(units, u'\t');
  if (!units.empty()) CheckSplit(units, units[0]);
  return 0;
}
