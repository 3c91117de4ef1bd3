// The text behind a passphrase field and the placeholders the field shows stay in step through
// every kind of edit, and nothing the text gives up stays in its storage.
#include "utility/passphrase_text.h"

#include <gtest/gtest.h>

#include <array>
#include <functional>
#include <string>

namespace {

const std::u16string kSmile = u"\U0001F600";  // one character, two code units

struct Step {
  const char* what;
  std::function<PassphraseEdit(const CPassphraseText&)> edit;
  std::u16string expected;
  size_t caretAfter;
};

}  // namespace

TEST(PassphraseText, SecretAndPlaceholdersStayInStepThroughEveryEdit) {
  std::array<char16_t, 8> storage;
  storage.fill(u'#');
  CPassphraseText text(storage.data(), storage.size());
  std::u16string shown;  // what the field shows: one placeholder per unit
  const std::u16string pasted = u"pass\r\nword";
  const std::u16string tooLong = u"whole12" + kSmile;
  const Step steps[] = {
      {"typed", [](auto&) { return CPassphraseText::Insert(0, 0, u"a"); }, u"a", 1},
      {"typed after", [](auto&) { return CPassphraseText::Insert(1, 1, u"bc"); }, u"abc", 3},
      {"typed before the caret's end", [](auto&) { return CPassphraseText::Insert(1, 1, u"X"); }, u"aXbc", 2},
      {"typed over a selection", [](auto&) { return CPassphraseText::Insert(3, 1, u"yz"); }, u"ayzc", 3},
      {"backspace", [](auto& t) { return t.Backspace(4, 4); }, u"ayz", 3},
      {"delete", [](auto& t) { return t.Delete(0, 0); }, u"yz", 0},
      {"backspace over a selection", [](auto& t) { return t.Backspace(0, 2); }, u"", 0},
      {"backspace at the start", [](auto& t) { return t.Backspace(0, 0); }, u"", 0},
      {"pasted, first line only", [&](auto&) { return CPassphraseText::Insert(0, 0, FirstLine(pasted)); }, u"pass", 4},
      {"a character of two units", [](auto&) { return CPassphraseText::Insert(4, 4, kSmile); }, u"pass" + kSmile, 6},
      {"backspace takes both units", [](auto& t) { return t.Backspace(6, 6); }, u"pass", 4},
      {"another at the start", [](auto&) { return CPassphraseText::Insert(0, 0, kSmile); }, kSmile + u"pass", 2},
      {"delete takes both units", [](auto& t) { return t.Delete(0, 0); }, u"pass", 0},
      {"another inside", [](auto&) { return CPassphraseText::Insert(1, 1, kSmile); }, u"p" + kSmile + u"ass", 3},
      {"typed inside a character lands after it", [](auto&) { return CPassphraseText::Insert(2, 2, u"b"); },
       u"p" + kSmile + u"bass", 4},
      {"a selection never cuts a character", [](auto&) { return CPassphraseText::Insert(1, 2, u""); }, u"pbass", 1},
      {"ctrl+backspace", [](auto& t) { return t.DeleteToStart(2, 2); }, u"ass", 0},
      {"ctrl+delete", [](auto& t) { return t.DeleteToEnd(1, 1); }, u"a", 1},
      {"whole text set", [](auto& t) { return CPassphraseText::Insert(0, t.View().size(), u"whole"); }, u"whole", 5},
      {"cut to the capacity", [](auto&) { return CPassphraseText::Insert(5, 5, u"123456789"); }, u"whole123", 8},
      {"a character that does not fit is not halved", [&](auto&) { return CPassphraseText::Insert(0, 8, tooLong); },
       u"whole12", 7},
  };
  for (const Step& step : steps) {
    SCOPED_TRACE(step.what);
    const PassphraseEdit made = text.Apply(step.edit(text));
    shown.replace(made.start, made.end - made.start, made.inserted.size(), u'*');
    EXPECT_EQ(text.View(), step.expected);
    EXPECT_EQ(shown.size(), text.View().size());
    EXPECT_EQ(made.start + made.inserted.size(), step.caretAfter);
    for (size_t i = text.View().size(); i < storage.size(); ++i) EXPECT_EQ(storage[i], 0) << "unit " << i << " kept";
  }
  text.Clear();
  EXPECT_TRUE(text.View().empty());
  for (char16_t unit : storage) EXPECT_EQ(unit, 0);
}
