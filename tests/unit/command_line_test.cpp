// Every form of the command line and the window it opens.
#include "utility/command_line.h"

#include <gtest/gtest.h>

namespace {

struct Form {
  const char16_t* commandLine;
  StartAction action;
  char16_t switchLetter;
  const char16_t* argument;
};

std::string Describe(const char16_t* text) {
  std::string out;
  for (const char16_t* p = text; *p; ++p) out += *p < 128 ? static_cast<char>(*p) : '?';
  return "command line [" + out + "]";
}

}  // namespace

TEST(CommandLine, EachFormOpensItsWindowWithItsArgument) {
  const Form forms[] = {
      {u"", StartAction::StartWindow, 0, u""},
      {u"/?", StartAction::Help, 0, u""},
      {u"-?", StartAction::Help, 0, u""},
      {u"/?x and more", StartAction::Help, 0, u""},
      {u"?", StartAction::MountWizard, u'm', u"?"},
      {u"/m D:\\a.zel", StartAction::MountWizard, u'm', u"D:\\a.zel"},
      {u"-m", StartAction::MountWizard, u'm', u""},
      {u"/mC:\\a.zel", StartAction::MountWizard, u'm', u"C:\\a.zel"},
      {u"/m   D:\\My Disks\\a.zel  \t ", StartAction::MountWizard, u'm', u"D:\\My Disks\\a.zel"},
      {u"/m \"D:\\My Disks\\a.zel\"", StartAction::MountWizard, u'm', u"D:\\My Disks\\a.zel"},
      {u"/m \"D:\\a.zel", StartAction::MountWizard, u'm', u"\"D:\\a.zel"},
      {u"/m file /u E", StartAction::MountWizard, u'm', u"file /u E"},
      {u"-cD:\\", StartAction::CreateWizard, u'c', u"D:\\"},
      {u"/c D:\\new.zel", StartAction::CreateWizard, u'c', u"D:\\new.zel"},
      {u"/c", StartAction::CreateWizard, u'c', u""},
      {u"/u e", StartAction::UnmountWizard, u'u', u"e"},
      {u"/u E:\\", StartAction::UnmountWizard, u'u', u"E:\\"},
      {u"-u", StartAction::UnmountWizard, u'u', u""},
      {u"/M D:\\a.zel", StartAction::StartWindow, u'M', u"D:\\a.zel"},
      {u"/x", StartAction::StartWindow, u'x', u""},
      {u"D:\\Disks\\a.zel", StartAction::MountWizard, u'm', u"D:\\Disks\\a.zel"},
      {u"\"D:\\Disks\\a b.zel\"", StartAction::MountWizard, u'm', u"D:\\Disks\\a b.zel"},
  };
  for (const Form& form : forms) {
    const StartRequest request = ReadCommandLine(form.commandLine);
    EXPECT_EQ(ChooseStartAction(request), form.action) << Describe(form.commandLine);
    if (form.action == StartAction::Help) continue;
    EXPECT_EQ(request.switchLetter, form.switchLetter) << Describe(form.commandLine);
    EXPECT_EQ(request.argument, form.argument) << Describe(form.commandLine);
  }
}

TEST(CommandLine, ShortAndOddTextIsReadSafely) {
  // A lone switch mark has no letter: no known switch, so the start window.
  for (const char16_t* text : {u"/", u"-", u"/ ", u"- D:\\a.zel"}) {
    const StartRequest request = ReadCommandLine(text);
    EXPECT_EQ(ChooseStartAction(request), StartAction::StartWindow) << Describe(text);
  }
  // A single double quote is not a pair of outer quotes.
  EXPECT_EQ(ReadCommandLine(u"\"").argument, u"\"");
  EXPECT_EQ(ReadCommandLine(u"/m \"").argument, u"\"");
  EXPECT_EQ(ReadCommandLine(u"/m \"\"").argument, u"");
  EXPECT_EQ(ReadCommandLine(u"/m \t ").argument, u"");
}

TEST(CommandLine, APathTooLongForItsBufferIsRefusedNotCut) {
  const std::u16string fits(kMaxArgumentLength, u'a');
  const std::u16string tooLong(kMaxArgumentLength + 1, u'a');

  EXPECT_EQ(ChooseStartAction(ReadCommandLine(u"/m " + fits)), StartAction::MountWizard);
  EXPECT_EQ(ReadCommandLine(u"/m " + fits).argument, fits);
  EXPECT_EQ(ChooseStartAction(ReadCommandLine(u"/m " + tooLong)), StartAction::RefuseArgument);
  EXPECT_EQ(ChooseStartAction(ReadCommandLine(u"/c " + tooLong)), StartAction::RefuseArgument);
  EXPECT_EQ(ChooseStartAction(ReadCommandLine(tooLong)), StartAction::RefuseArgument);
  // Quotes and blanks around it do not count against the limit.
  EXPECT_EQ(ChooseStartAction(ReadCommandLine(u"/m  \"" + fits + u"\"  ")), StartAction::MountWizard);

  // The Disconnect page looks at the first character only, and other switches at nothing.
  const StartRequest unmount = ReadCommandLine(u"/u " + tooLong);
  EXPECT_EQ(ChooseStartAction(unmount), StartAction::UnmountWizard);
  EXPECT_EQ(unmount.argument.size(), kMaxArgumentLength);
  EXPECT_EQ(ChooseStartAction(ReadCommandLine(u"/x " + tooLong)), StartAction::StartWindow);
}

TEST(CommandLine, HelpNamesTheProgramAndEveryForm) {
  const std::u16string help = HelpText(u"Lockvale.exe");
  EXPECT_EQ(help.rfind(u"Lockvale.exe [", 0), 0u);
  EXPECT_NE(help.find(u"]\n\n"), std::u16string::npos);
  for (const char16_t* form : {u"/m [path]", u"/c folder", u"/c path", u"/u [drive]", u"/x", u"\npath"}) {
    EXPECT_NE(help.find(form), std::u16string::npos) << Describe(form);
  }
  EXPECT_EQ(help.substr(help.rfind(u'\n') + 1, 2), u"/?");
}

TEST(WindowsVersion, XpAndLaterOfTheNtFamilyOnly) {
  EXPECT_FALSE(IsSupportedWindowsVersion(1, 4, 10));  // 98
  EXPECT_FALSE(IsSupportedWindowsVersion(2, 4, 0));   // NT 4
  EXPECT_FALSE(IsSupportedWindowsVersion(2, 5, 0));   // 2000
  EXPECT_TRUE(IsSupportedWindowsVersion(2, 5, 1));    // XP
  EXPECT_TRUE(IsSupportedWindowsVersion(2, 5, 2));
  EXPECT_TRUE(IsSupportedWindowsVersion(2, 6, 0));
  EXPECT_TRUE(IsSupportedWindowsVersion(2, 10, 0));
}
