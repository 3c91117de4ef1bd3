// The passphrase rating.
#include "utility/strength_meter.h"

#include <cmath>

namespace {

// The character classes, in the order they are tested. Each adds the length of its text as
// written to the alphabet; the symbols hold the slash twice, so they add 28.
const char16_t* const kClasses[] = {
    u"0123456789",
    u"ABCDEFGHIJKLMNOPQRSTUVWXYZ",
    u"abcdefghijklmnopqrstuvwxyz",
    u";:-_=+\\|//?^&!.@#*()%~<>{}[]",
};

constexpr double kFirstDivisor = 500;
constexpr double kSecondDivisor = 2;
constexpr double kSecondsPerDay = 86400;
constexpr double kReference = 90;
constexpr double kScale = 100;
constexpr double kPointsPerCharacter = 5;
constexpr double kCap = 100;

}  // namespace

size_t CountClassChars(std::u16string_view passphrase, std::u16string_view classText) {
  size_t count = 0;
  for (char16_t c : passphrase) {
    if (classText.find(c) != std::u16string_view::npos) ++count;
  }
  return count;
}

double RatePassphrase(std::u16string_view passphrase) {
  double alphabet = 0;
  for (const char16_t* classText : kClasses) {
    if (CountClassChars(passphrase, classText) > 0) alphabet += static_cast<double>(std::u16string_view(classText).size());
  }
  double possible = alphabet;
  for (size_t i = 1; i < passphrase.size() && std::isfinite(possible); ++i) possible *= alphabet;
  const double perDay = possible / kFirstDivisor / kSecondDivisor / kSecondsPerDay;
  return perDay / kReference;
}

double ScorePassphrase(std::u16string_view passphrase) {
  const double points = RatePassphrase(passphrase) * kScale;
  // Anything from 100 up, however large or infinite, saturates; below it rounding is exact.
  double score = points < kCap ? std::floor(points + 0.5) : kCap;
  const double lengthBonus = kPointsPerCharacter * static_cast<double>(passphrase.size());
  if (lengthBonus > score) score += lengthBonus;
  return score > kCap ? kCap : score;
}

const char16_t* RatingWord(double score) {
  if (score > 95) return u"Very Secure";
  if (score > 75) return u"Secure";
  if (score > 50) return u"Mediocre";
  return u"Insecure";
}
