// The handlers' decisions that Wine cannot stage: how the open command is cut, which texts are
// drives, and which folders may take a new disk file.
#include "shellext/handler_rules.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/text.h"

using ::testing::ElementsAre;
using ::testing::IsEmpty;

TEST(ShellextProgramPath, IsCutFromTheOpenCommandByItsQuotesOrItsFirstBlank) {
  struct Case {
    const char* command;
    const char* program;
  } cases[] = {
      {R"("C:\Program Files\Lockvale\Lockvale.exe" "%1")", R"(C:\Program Files\Lockvale\Lockvale.exe)"},
      {R"(C:\Program Files\Tools\Lockvale.exe)", R"(C:\Program)"},
      {R"(C:\Tools\Lockvale.exe)", R"(C:\Tools\Lockvale.exe)"},
      {R"("C:\No End\Lockvale.exe %1)", R"(C:\No End\Lockvale.exe %1)"},
      {R"(%ProgramFiles%\Lockvale.exe "%1")", R"(%ProgramFiles%\Lockvale.exe)"},  // nothing expanded
      {" C:\\Tools\\Lockvale.exe", ""},                                          // nothing trimmed
      {"C:\\Tools\\Lockvale.exe\t%1", "C:\\Tools\\Lockvale.exe\t%1"},            // only a blank ends it
      {"\"\"", ""},
  };
  for (const Case& c : cases) EXPECT_EQ(ToUtf8(ProgramFromCommand(U16(c.command))), c.program) << c.command;

  // A path too long for the program buffer is no program, rather than a cut one naming another file.
  const std::u16string longest = u"C:\\" + std::u16string(kMaxProgramPath - 7, u'x') + u".exe";
  EXPECT_EQ(ProgramFromCommand(u"\"" + longest + u"\" \"%1\""), longest);
  EXPECT_EQ(ProgramFromCommand(longest + u" " + std::u16string(300, u'a')), longest);
  EXPECT_EQ(ProgramFromCommand(u"\"" + longest + u"x\" \"%1\""), u"");
}

TEST(ShellextDriveText, IsALetterAndAColonWithOrWithoutTheRootBackslash) {
  for (const char16_t* text : {u"E:", u"E:\\", u"e:"}) EXPECT_TRUE(IsDriveText(text)) << ToUtf8(text);
  for (const char16_t* text : {u"", u"E", u"EE:", u"E:\\a", u"\\\\"}) EXPECT_FALSE(IsDriveText(text)) << ToUtf8(text);
}

namespace {

struct Asked {
  std::vector<std::u16string> roots;
  std::vector<std::u16string> drives;
};

bool CreateShown(const std::u16string& proposal, uint32_t driveType, int32_t status, Asked& asked) {
  return CreateItemShown(
      proposal,
      [&](std::u16string_view root) {
        asked.roots.emplace_back(root);
        return driveType;
      },
      [&](std::u16string_view drive) {
        asked.drives.emplace_back(drive);
        return status;
      });
}

}  // namespace

TEST(ShellextCreateItem, DrivesThatCannotTakeANewFileGetNoItemAndTheServiceIsNotAsked) {
  for (uint32_t type : {kDriveUnknown, kDriveNoRootDir, kDriveCdrom}) {
    Asked asked;
    EXPECT_FALSE(CreateShown(u"D:\\My Virtual Disk.zel", type, 0, asked)) << type;
    EXPECT_THAT(asked.roots, ElementsAre(u"D:\\"));
    EXPECT_THAT(asked.drives, IsEmpty());
  }
  for (uint32_t type : {2u, 3u, 4u, 6u}) {  // removable, fixed, remote, RAM disk
    Asked asked;
    EXPECT_TRUE(CreateShown(u"D:\\My Virtual Disk.zel", type, 0, asked)) << type;
    EXPECT_THAT(asked.drives, ElementsAre(u"D:"));
  }
}

TEST(ShellextCreateItem, ANetworkFolderIsOfferedWithoutFurtherTests) {
  Asked asked;
  EXPECT_TRUE(CreateShown(u"\\\\server\\share\\My Virtual Disk.zel", kDriveCdrom, 1, asked));
  EXPECT_THAT(asked.roots, IsEmpty());
  EXPECT_THAT(asked.drives, IsEmpty());
}

TEST(ShellextCreateItem, AFolderWithoutRoomForTheNameIsNotOffered) {
  // MakeUniqueFileName leaves no proposal for such a folder; nobody is asked about it.
  Asked asked;
  EXPECT_FALSE(CreateShown(u"", 3, 0, asked));
  EXPECT_THAT(asked.roots, IsEmpty());
  EXPECT_THAT(asked.drives, IsEmpty());
}
