// The passphrase rating shown while a new disk's passphrase is typed: the number of possible
// texts of its length over its alphabet, against what a day of guessing covers, plus a bonus
// for length. Advice only: nothing refuses a weak passphrase.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// How many characters of passphrase occur in classText (repeats count each time).
size_t CountClassChars(std::u16string_view passphrase, std::u16string_view classText);

// The quotient D / 90: possible texts of the passphrase's length over its alphabet, divided by
// 500, by 2 and by the seconds of a day.
double RatePassphrase(std::u16string_view passphrase);

// The score from 0 to 100: the rating in points, rounded, plus 5 points per character when that
// is more, at most 100.
double ScorePassphrase(std::u16string_view passphrase);

// "Very Secure" above 95, "Secure" above 75, "Mediocre" above 50, otherwise "Insecure".
const char16_t* RatingWord(double score);
