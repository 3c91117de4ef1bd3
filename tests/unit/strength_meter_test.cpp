// The passphrase rating, to the point.
#include "utility/strength_meter.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct Rated {
  std::u16string passphrase;
  double score;
  const char16_t* word;
};

std::string Show(const std::u16string& text) {
  std::string out;
  for (char16_t c : text) out += c < 128 ? static_cast<char>(c) : '?';
  return "[" + out + "] length " + std::to_string(text.size());
}

}  // namespace

TEST(StrengthMeter, ScoresAndWordsOfTypicalPassphrases) {
  const Rated cases[] = {
      {u"", 0, u"Insecure"},
      {u"abc", 15, u"Insecure"},
      {u"abcdef", 34, u"Insecure"},
      {u"abcdefg", 100, u"Very Secure"},
      {u"12345678", 41, u"Insecure"},
      {u"123456789", 58, u"Mediocre"},
      {u"aB3;x", 76, u"Secure"},
      {u";:-_=+", 36, u"Insecure"},
      {u";:-_=+|", 100, u"Very Secure"},
      {u"abcdefghijklm", 100, u"Very Secure"},
      {std::u16string(10, u' '), 50, u"Insecure"},
      {std::u16string(11, u' '), 55, u"Mediocre"},
      {std::u16string(15, u' '), 75, u"Mediocre"},
      {std::u16string(16, u' '), 80, u"Secure"},
      {std::u16string(19, u' '), 95, u"Secure"},
      {std::u16string(20, u' '), 100, u"Very Secure"},
      {u"\"',`$", 25, u"Insecure"},  // none of these is in a class
  };
  for (const Rated& c : cases) {
    const double score = ScorePassphrase(c.passphrase);
    EXPECT_EQ(score, c.score) << Show(c.passphrase);
    EXPECT_EQ(std::u16string(RatingWord(score)), c.word) << Show(c.passphrase);
  }
}

TEST(StrengthMeter, TheRatingBeforeRounding) {
  EXPECT_NEAR(RatePassphrase(u"abcdef") * 100, 3.97, 0.005);
  EXPECT_NEAR(RatePassphrase(u"abcdefg") * 100, 103.3, 0.05);
  EXPECT_NEAR(RatePassphrase(u"12345678") * 100, 1.29, 0.005);
  EXPECT_NEAR(RatePassphrase(u"123456789") * 100, 12.86, 0.005);
  EXPECT_NEAR(RatePassphrase(u"aB3;x") * 100, 75.94, 0.005);
  // Far beyond the 32-bit integer range, and beyond any double, still scores 100.
  EXPECT_GT(RatePassphrase(u"abcdefghijklm") * 100, 3e10);
  EXPECT_EQ(ScorePassphrase(std::u16string(2000, u'x') + u"A1;"), 100);
  EXPECT_EQ(RatePassphrase(std::u16string(1, u'a')), 26 / 500.0 / 2 / 86400 / 90);
}

TEST(StrengthMeter, WordsChangeStrictlyAboveTheirThresholds) {
  EXPECT_EQ(std::u16string(RatingWord(95)), u"Secure");
  EXPECT_EQ(std::u16string(RatingWord(95.5)), u"Very Secure");
  EXPECT_EQ(std::u16string(RatingWord(75)), u"Mediocre");
  EXPECT_EQ(std::u16string(RatingWord(76)), u"Secure");
  EXPECT_EQ(std::u16string(RatingWord(50)), u"Insecure");
  EXPECT_EQ(std::u16string(RatingWord(51)), u"Mediocre");
}

TEST(StrengthMeter, TheAlphabetCountsEachClassOnceAndTheSlashClassAsTwentyEight) {
  // The same length with one symbol: a slash adds what any other symbol adds.
  EXPECT_EQ(RatePassphrase(u"abcd/"), RatePassphrase(u"abcd!"));
  EXPECT_EQ(RatePassphrase(u"////"), 28.0 * 28 * 28 * 28 / 500 / 2 / 86400 / 90);
  EXPECT_EQ(CountClassChars(u"a//b/", u";:-_=+\\|//?^&!.@#*()%~<>{}[]"), 3u);
  EXPECT_EQ(CountClassChars(u"aaa", u"abc"), 3u);
  EXPECT_EQ(CountClassChars(u"\u00E9\u00C9", u"abcdefghijklmnopqrstuvwxyz"), 0u);
}

TEST(StrengthMeter, ASurrogatePairIsTwoCharactersOfNoClass) {
  const std::u16string emoji = u"\U0001F600";
  ASSERT_EQ(emoji.size(), 2u);
  EXPECT_EQ(ScorePassphrase(emoji), 10);
  // Six code units over the small letters' alphabet, then seven.
  EXPECT_EQ(ScorePassphrase(u"abcd" + emoji), 34);
  EXPECT_EQ(ScorePassphrase(u"abcde" + emoji), 100);
}
