// Reading the program's command line into one start request.
#include "utility/command_line.h"

namespace {

bool IsBlank(char16_t c) { return c == u' ' || c == u'\t'; }

bool IsSwitchMark(char16_t c) { return c == u'/' || c == u'-'; }

constexpr unsigned long kPlatformNt = 2;

}  // namespace

StartRequest ReadCommandLine(std::u16string_view text) {
  StartRequest request;
  if (text.empty()) return request;
  if (text.size() >= 2 && IsSwitchMark(text[0]) && text[1] == u'?') {
    request.help = true;
    return request;
  }

  request.switchLetter = u'm';
  std::u16string_view argument = text;
  if (IsSwitchMark(text[0])) {
    // A lone "/" or "-" has no switch letter: that is no known switch.
    request.switchLetter = text.size() >= 2 ? text[1] : 0;
    argument = text.substr(text.size() >= 2 ? 2 : 1);
  }

  while (!argument.empty() && IsBlank(argument.front())) argument.remove_prefix(1);
  while (!argument.empty() && IsBlank(argument.back())) argument.remove_suffix(1);
  // Outer quotes go only in pairs: a lone quote character stays what it is.
  if (argument.size() >= 2 && argument.front() == u'"' && argument.back() == u'"') {
    argument = argument.substr(1, argument.size() - 2);
  }

  if (argument.size() > kMaxArgumentLength) {
    request.argumentTooLong = true;
    argument = argument.substr(0, kMaxArgumentLength);
  }
  request.argument = std::u16string(argument);
  return request;
}

StartAction ChooseStartAction(const StartRequest& request) {
  if (request.help) return StartAction::Help;
  switch (request.switchLetter) {
    case u'c':
      return request.argumentTooLong ? StartAction::RefuseArgument : StartAction::CreateWizard;
    case u'm':
      return request.argumentTooLong ? StartAction::RefuseArgument : StartAction::MountWizard;
    case u'u':
      return StartAction::UnmountWizard;  // only the first character of the drive counts
    default:
      return StartAction::StartWindow;
  }
}

bool ArgumentIsPath(const StartRequest& request) {
  return !request.help && (request.switchLetter == u'c' || request.switchLetter == u'm');
}

std::u16string HelpText(std::u16string_view programName) {
  std::u16string text(programName);
  text +=
      u" [/? | /m [path] | /c [path] | /u [drive] | path]\n"
      u"\n"
      u"(nothing)\tOpens the start window.\n"
      u"/m [path]\tOpens the Mount wizard. An existing disk file goes straight to the drive page; "
      u"without one the location page opens empty.\n"
      u"/c folder\tOpens the Create wizard with a new \"My Virtual Disk.zel\" in that folder "
      u"(numbered when the name is taken).\n"
      u"/c path\tOpens the Create wizard with that path as the new disk's location.\n"
      u"/u [drive]\tOpens the Disconnect page for that drive (e, E: or E:\\); without one, the list of all "
      u"mounted disks.\n"
      u"/x\tAny other switch opens the start window.\n"
      u"path\tA path without a switch works like /m path.\n"
      u"/?\tShows this help. A hyphen may replace the slash in every switch.";
  return text;
}

bool IsSupportedWindowsVersion(unsigned long platformId, unsigned long major, unsigned long minor) {
  if (platformId != kPlatformNt || major < 5) return false;
  return !(major == 5 && minor == 0);
}
