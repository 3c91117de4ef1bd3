// Splitting, case folding, UTF-8 and the integer rule.
#include "common/text.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <new>

#include "common/secret_text.h"

using ::testing::ElementsAre;
using ::testing::IsEmpty;

TEST(SplitText, PiecesBetweenSeparators) {
  EXPECT_THAT(SplitText(u"a\nb\nc\n", u'\n'), ElementsAre(u"a", u"b", u"c"));
  EXPECT_THAT(SplitText(u"a\nb", u'\n'), ElementsAre(u"a", u"b"));
  EXPECT_THAT(SplitText(u"abc", u'\n'), ElementsAre(u"abc"));
}

TEST(SplitText, EmptyPiecesOnlyBetweenSeparators) {
  EXPECT_THAT(SplitText(u"", u'\n'), IsEmpty());
  EXPECT_THAT(SplitText(u"\n", u'\n'), ElementsAre(u""));
  EXPECT_THAT(SplitText(u"a\n\nb\n", u'\n'), ElementsAre(u"a", u"", u"b"));
  EXPECT_THAT(SplitText(u"\n4", u'\n'), ElementsAre(u"", u"4"));
  EXPECT_THAT(SplitText(u"E:\t\t1", u'\t'), ElementsAre(u"E:", u"", u"1"));
}

TEST(ToLowerAscii, FoldsOnlyAsciiCapitals) {
  EXPECT_EQ(ToLowerAscii(u"C:\\Disks\\A.ZEL"), u"c:\\disks\\a.zel");
  EXPECT_EQ(ToLowerAscii(u"\u00C9t\u00E9 [@Z]"), u"\u00C9t\u00E9 [@z]");
}

TEST(Utf8, EncodesAsTheWireExpects) {
  EXPECT_EQ(ToUtf8(u"\u00E9"), "\xC3\xA9");
  EXPECT_EQ(ToUtf8(u"\u20AC"), "\xE2\x82\xAC");
  EXPECT_EQ(ToUtf8(u"\U0001F600"), "\xF0\x9F\x98\x80");
  // A lone surrogate cannot be encoded; it becomes U+FFFD instead of broken bytes.
  EXPECT_EQ(ToUtf8(std::u16string(1, u'\xD800') + u"x"), "\xEF\xBF\xBDx");
  // Text ends at the first NUL.
  EXPECT_EQ(ToUtf8(std::u16string(u"ab\0cd", 5)), "ab");
}

TEST(Utf8, DecodesRepliesAndReplacesMalformedBytes) {
  EXPECT_EQ(FromUtf8("C:\\caf\xC3\xA9.zel"), u"C:\\caf\u00E9.zel");
  EXPECT_EQ(FromUtf8("\xF0\x9F\x98\x80"), u"\U0001F600");
  EXPECT_EQ(FromUtf8(std::string("12\0" "34", 5)), u"12");
  EXPECT_EQ(FromUtf8("a\xFF" "b"), u"a\uFFFDb");
  EXPECT_EQ(FromUtf8("\xC3"), u"\uFFFD");              // cut in the middle of a character
  EXPECT_EQ(FromUtf8("\xC0\xAF"), u"\uFFFD\uFFFD");    // overlong form
  EXPECT_EQ(FromUtf8("\xED\xA0\x80"), u"\uFFFD\uFFFD\uFFFD");  // encoded surrogate
}

TEST(ReadInteger, ReadsALeadingDecimalNumber) {
  EXPECT_EQ(ReadInteger(u"3"), 3);
  EXPECT_EQ(ReadInteger(u" 7"), 7);
  EXPECT_EQ(ReadInteger(u"\t\n 42\n"), 42);
  EXPECT_EQ(ReadInteger(u"12abc"), 12);
  EXPECT_EQ(ReadInteger(u"-5"), -5);
  EXPECT_EQ(ReadInteger(u"+8"), 8);
  EXPECT_EQ(ReadInteger(u"2147483647"), 2147483647);
  EXPECT_EQ(ReadInteger(u"-2147483648"), INT32_MIN);
}

TEST(ReadInteger, AnythingElseIsZero) {
  EXPECT_EQ(ReadInteger(u""), 0);
  EXPECT_EQ(ReadInteger(u"abc"), 0);
  EXPECT_EQ(ReadInteger(u"- 5"), 0);
  EXPECT_EQ(ReadInteger(u"+"), 0);
  EXPECT_EQ(ReadInteger(u"2147483648"), 0);
  EXPECT_EQ(ReadInteger(u"-2147483649"), 0);
  EXPECT_EQ(ReadInteger(u"99999999999999999999"), 0);
}

// Whether bytes of storage hold the UTF-16 text anywhere.
bool Holds(const unsigned char* storage, size_t size, std::u16string_view text) {
  const size_t bytes = text.size() * sizeof(char16_t);
  for (size_t i = 0; i + bytes <= size; ++i) {
    if (memcmp(storage + i, text.data(), bytes) == 0) return true;
  }
  return false;
}

TEST(SecretText, LeavesNothingOfAShortPassphraseInItsOwnStorage) {
  // A short text lives inside the string object, where no allocator sees it go; a shorter one
  // written over it leaves the rest of the longer one behind its end.
  alignas(SecretText) unsigned char storage[sizeof(SecretText)] = {};
  auto* secret = new (storage) SecretText(std::u16string_view(u"pass123"));
  ASSERT_EQ(*secret, u"pass123");
  *secret = SecretText(std::u16string_view(u"ab"));
  ASSERT_LE(secret->capacity(), 7u);  // still inside the object
  secret->~SecretText();
  EXPECT_FALSE(Holds(storage, sizeof storage, u"s123"));
  EXPECT_FALSE(Holds(storage, sizeof storage, u"ab"));
  const SecretBytes wire = ToSecretUtf8(u"caf\u00E9");
  EXPECT_EQ(std::string(wire.data(), wire.size()), "caf\xC3\xA9");
}

TEST(SecretText, EveryBufferItGrowsOutOfGoesBackWiped) {
  static int s_nFreed = 0;
  static int s_nDirty = 0;
  s_nFreed = s_nDirty = 0;
  g_pfnFreedSecretObserver = [](const void* data, size_t bytes) {
    ++s_nFreed;
    const auto* p = static_cast<const unsigned char*>(data);
    if (std::any_of(p, p + bytes, [](unsigned char b) { return b != 0; })) ++s_nDirty;
  };
  {
    SecretText secret;
    for (int i = 0; i < 200; ++i) secret.push_back(u'x');  // through several capacities
    SecretText copy = secret;
    copy = SecretText(std::u16string_view(u"y"));
  }
  g_pfnFreedSecretObserver = nullptr;
  EXPECT_GE(s_nFreed, 4);
  EXPECT_EQ(s_nDirty, 0);
}
