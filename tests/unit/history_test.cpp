// The recent-file list: reading, dropping missing files, adding, writing.
#include "utility/history.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <set>

using ::testing::ElementsAre;

namespace {

PathExistsFn ExistingFiles(std::set<std::u16string> files) {
  return [files = std::move(files)](const std::u16string& path) { return files.count(path) > 0; };
}

}  // namespace

TEST(History, LoadingDropsMissingFilesAndSaysSo) {
  auto history = ParseHistoryText(u"C:\\a.zel\nC:\\gone.zel\nC:\\c.zel\n");
  EXPECT_TRUE(RemoveMissingEntries(history, ExistingFiles({u"C:\\a.zel", u"C:\\c.zel"})));
  EXPECT_THAT(history, ElementsAre(u"C:\\a.zel", u"C:\\c.zel"));
  EXPECT_EQ(HistoryText(history), u"C:\\a.zel\nC:\\c.zel\n");

  // An empty piece counts as a missing file.
  history = ParseHistoryText(u"C:\\a.zel\n\nC:\\c.zel\n");
  EXPECT_TRUE(RemoveMissingEntries(history, ExistingFiles({u"C:\\a.zel", u"C:\\c.zel", u""})));
  EXPECT_THAT(history, ElementsAre(u"C:\\a.zel", u"C:\\c.zel"));

  history = ParseHistoryText(u"C:\\a.zel\n");
  EXPECT_FALSE(RemoveMissingEntries(history, ExistingFiles({u"C:\\a.zel"})));
}

TEST(History, LoadingAppliesNoLimit) {
  auto history = ParseHistoryText(u"1\n2\n3\n4\n5\n6\n7\n");
  EXPECT_FALSE(RemoveMissingEntries(history, [](const std::u16string&) { return true; }));
  EXPECT_EQ(history.size(), 7u);
}

TEST(History, AddingMovesToTheFrontIgnoringAsciiCase) {
  std::vector<std::u16string> history{u"C:\\One.zel", u"C:\\two.zel", u"C:\\Three.zel"};
  AddHistoryEntry(history, u"c:\\THREE.ZEL");
  EXPECT_THAT(history, ElementsAre(u"c:\\THREE.ZEL", u"C:\\One.zel", u"C:\\two.zel"));

  // Accented capitals are not folded: these stay two entries.
  history = {u"C:\\\u00E9t\u00E9.zel"};
  AddHistoryEntry(history, u"C:\\\u00C9t\u00E9.zel");
  EXPECT_THAT(history, ElementsAre(u"C:\\\u00C9t\u00E9.zel", u"C:\\\u00E9t\u00E9.zel"));

  // Only the first equal entry goes.
  history = {u"a", u"A"};
  AddHistoryEntry(history, u"a");
  EXPECT_THAT(history, ElementsAre(u"a", u"A"));
}

TEST(History, AddingKeepsAtMostFive) {
  std::vector<std::u16string> history{u"1", u"2", u"3", u"4", u"5"};
  AddHistoryEntry(history, u"6");
  EXPECT_THAT(history, ElementsAre(u"6", u"1", u"2", u"3", u"4"));
  AddHistoryEntry(history, u"2");
  EXPECT_THAT(history, ElementsAre(u"2", u"6", u"1", u"3", u"4"));

  history = {u"1", u"2", u"3", u"4", u"5", u"6", u"7"};  // longer, from a value written by hand
  AddHistoryEntry(history, u"8");
  EXPECT_THAT(history, ElementsAre(u"8", u"1", u"2", u"3", u"4"));
}

TEST(History, WritingSkipsEmptyEntries) {
  EXPECT_EQ(HistoryText({}), u"");
  EXPECT_EQ(HistoryText({u"", u"C:\\a.zel", u""}), u"C:\\a.zel\n");
}
