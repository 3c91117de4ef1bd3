// The handlers' decisions.
#include "shellext/handler_rules.h"

std::u16string ProgramFromCommand(std::u16string_view command) {
  std::u16string_view program;
  if (!command.empty() && command.front() == u'"') {
    program = command.substr(1);
    program = program.substr(0, program.find(u'"'));
  } else {
    program = command.substr(0, command.find(u' '));
  }
  if (program.size() > kMaxProgramPath) return {};
  return std::u16string(program);
}

std::u16string ParameterText(std::u16string_view commandSwitch, std::u16string_view argument) {
  std::u16string text(commandSwitch);
  text += argument;
  return text;
}

HelpTextForm HelpTextFormFor(uint32_t requestType) {
  constexpr uint32_t kHelpBit = 0x1;
  constexpr uint32_t kUnicodeBit = 0x4;
  if ((requestType & (kHelpBit | kUnicodeBit)) == 0) return HelpTextForm::Refused;
  return (requestType & kUnicodeBit) != 0 ? HelpTextForm::Wide : HelpTextForm::Ansi;
}

std::u16string_view DriveOfPath(std::u16string_view path) {
  if (path.size() < 2 || path[1] != u':') return {};
  return path.substr(0, 2);
}

bool IsDriveText(std::u16string_view text) { return (text.size() == 2 || text.size() == 3) && text[1] == u':'; }

bool MountItemShown(std::u16string_view file, const StatusQuery& status) {
  const std::u16string_view drive = DriveOfPath(file);
  return drive.empty() || status(drive) == 0;
}

bool UnmountItemShown(std::u16string_view driveText, const StatusQuery& status) {
  return IsDriveText(driveText) && status(driveText) != 0;
}

bool CreateItemShown(std::u16string_view proposal, const DriveTypeQuery& driveType, const StatusQuery& status) {
  if (proposal.empty()) return false;
  const std::u16string_view drive = DriveOfPath(proposal);
  if (drive.empty()) return true;
  const uint32_t type = driveType(proposal.substr(0, 3));
  if (type == kDriveUnknown || type == kDriveNoRootDir || type == kDriveCdrom) return false;
  return status(drive) == 0;
}
