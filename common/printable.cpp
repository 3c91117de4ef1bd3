// Text from outside made safe to print.
#include "common/printable.h"

#include <algorithm>
#include <cstdio>

#include "common/text.h"

std::string PrintableText(std::string_view utf8) {
  std::string out;
  // FromUtf8 stops at a NUL, so the text is taken piece by piece between NULs.
  for (size_t start = 0; start <= utf8.size();) {
    const size_t nul = std::min(utf8.find('\0', start), utf8.size());
    std::u16string shown;
    for (char16_t c : FromUtf8(utf8.substr(start, nul - start))) {
      if (c < 0x20 || (c >= 0x7F && c <= 0x9F)) {
        char escaped[8];
        std::snprintf(escaped, sizeof escaped, "\\x%02X", static_cast<unsigned>(c));
        shown.append(escaped, escaped + 4);
      } else {
        shown.push_back(c);
      }
    }
    out += ToUtf8(shown);
    if (nul < utf8.size()) out += "\\x00";
    start = nul + 1;
  }
  return out;
}
