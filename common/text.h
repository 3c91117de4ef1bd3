// Text helpers shared by both deliverables: splitting, ASCII case folding, the UTF-8 of the
// service pipe, and the integer rule used for every number the service sends.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "common/secret_text.h"

// Pieces of text between separators. Two separators in a row give an empty piece, a separator
// at the very end gives no empty last piece, and empty text gives no pieces at all.
std::vector<std::u16string> SplitText(std::u16string_view text, char16_t separator);

// Copy in which "A" to "Z" became "a" to "z"; every other character stays as it is.
std::u16string ToLowerAscii(std::u16string_view text);

// UTF-16 to UTF-8, reading up to the first NUL. A lone surrogate becomes U+FFFD.
std::string ToUtf8(std::u16string_view text);
// The same, for text that carries a passphrase.
SecretBytes ToSecretUtf8(std::u16string_view text);

// UTF-8 to UTF-16, reading up to the first NUL. Malformed bytes become U+FFFD.
std::u16string FromUtf8(std::string_view bytes);

// A decimal signed 32-bit integer read the way formatted stream extraction reads it: leading
// white space skipped, an optional sign, digits, anything after them ignored. Text that does not
// start with a number, and a number outside the 32-bit range, give 0.
int32_t ReadInteger(std::u16string_view text);

// Convenience for tests and literals: ASCII/UTF-8 source text as UTF-16.
inline std::u16string U16(std::string_view utf8) { return FromUtf8(utf8); }
