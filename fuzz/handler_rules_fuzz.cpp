// The shell extension's decisions on what the shell and the registry give it, and the command
// line it starts the program with, read back by the program itself. Fields (UTF-8): the open
// command, the selected file, the selected drive, the background folder, then answer bytes
// (the service's Status, the drive type, which candidate names exist).
#include <functional>
#include <string>
#include <vector>

#include "common/text.h"
#include "common/unique_file_name.h"
#include "fuzz/fuzz_input.h"
#include "shellext/handler_rules.h"
#include "shellext/texts.h"
#include "utility/command_line.h"
#include "utility/unmount_rules.h"

namespace {

struct Asked {
  std::vector<std::u16string> drives;
  std::vector<std::u16string> roots;
};

bool IsBlank(char16_t c) { return c == u' ' || c == u'\t'; }

// What a file or folder path from the shell looks like: no quote (no file name has one), no
// NUL, no blank at either end.
bool IsShellPath(std::u16string_view path) {
  return !path.empty() && path.find(u'"') == std::u16string_view::npos && !IsBlank(path.front()) &&
         !IsBlank(path.back());
}

// The program reads the command line the extension starts it with as the same request.
void CheckProgramReads(const HandlerTexts& texts, std::u16string_view argument, StartAction expected) {
  const StartRequest request = ReadCommandLine(ParameterText(texts.commandSwitch, argument));
  FUZZ_CHECK(request.switchLetter == texts.commandSwitch[1]);
  if (argument.size() > kMaxArgumentLength) {
    FUZZ_CHECK(ChooseStartAction(request) == StartAction::RefuseArgument);
    return;
  }
  FUZZ_CHECK(ChooseStartAction(request) == expected);
  FUZZ_CHECK(request.argument == argument);
}

void CheckProgramPath(std::u16string_view command) {
  const std::u16string program = ProgramFromCommand(command);
  FUZZ_CHECK(program.size() <= kMaxProgramPath);
  if (program.empty()) return;
  // Never cut in the middle: the path runs to its closing quote, its first blank or the end.
  const bool quoted = command.front() == u'"';
  const std::u16string_view rest = quoted ? command.substr(1) : command;
  FUZZ_CHECK(rest.substr(0, program.size()) == program);
  const char16_t end = quoted ? u'"' : u' ';
  FUZZ_CHECK(program.find(end) == std::u16string::npos);
  FUZZ_CHECK(program.size() == rest.size() || rest[program.size()] == end);
  // The same program in the installer's own form of the command.
  if (program.find(u'"') == std::u16string::npos) {
    FUZZ_CHECK(ProgramFromCommand(u"\"" + program + u"\" \"%1\"") == program);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const FuzzFields fields(data, size);
  const std::u16string command = FromUtf8(fields[0]);
  const std::u16string file = FromUtf8(fields[1]);
  const std::u16string driveText = FromUtf8(fields[2]);
  const std::u16string folder = FromUtf8(fields[3]);
  const std::string_view answers = fields[4];
  const int32_t status = static_cast<int32_t>(Number32(answers.substr(0, 4)));
  const uint32_t driveType = answers.size() > 4 ? static_cast<unsigned char>(answers[4]) % 8 : 3;
  const std::string_view taken = answers.size() > 5 ? answers.substr(5) : std::string_view();

  CheckProgramPath(command);

  Asked asked;
  const StatusQuery statusQuery = [&](std::u16string_view drive) {
    asked.drives.emplace_back(drive);
    return status;
  };
  const DriveTypeQuery driveTypeQuery = [&](std::u16string_view root) {
    asked.roots.emplace_back(root);
    return driveType;
  };

  // Mount: the service is asked about the file's drive only, once, and never without one.
  const bool mountShown = MountItemShown(file, statusQuery);
  const std::u16string_view fileDrive = DriveOfPath(file);
  FUZZ_CHECK(fileDrive.empty() || (fileDrive.size() == 2 && fileDrive[1] == u':' && StartsWith(file, fileDrive)));
  FUZZ_CHECK(asked.drives.size() == (fileDrive.empty() ? 0u : 1u));
  if (!fileDrive.empty()) FUZZ_CHECK(asked.drives[0] == fileDrive && mountShown == (status == 0));
  if (mountShown && IsShellPath(file)) CheckProgramReads(kMountTexts, file, StartAction::MountWizard);

  // Unmount: only a drive text goes to the service, as the shell gave it.
  asked = {};
  const bool unmountShown = UnmountItemShown(driveText, statusQuery);
  FUZZ_CHECK(asked.drives.size() == (IsDriveText(driveText) ? 1u : 0u));
  if (!asked.drives.empty()) FUZZ_CHECK(asked.drives[0] == driveText);
  FUZZ_CHECK(unmountShown == (IsDriveText(driveText) && status != 0));
  if (unmountShown) {
    const StartRequest request = ReadCommandLine(ParameterText(kUnmountTexts.commandSwitch, driveText));
    FUZZ_CHECK(ChooseStartAction(request) == StartAction::UnmountWizard);
    FUZZ_CHECK(FixedDriveOf(request.argument) == FixedDriveOf(driveText));
  }

  // Create: the proposal fits the handler's buffer of 261 whole, or there is none; an empty one is
  // never offered, and a drive that cannot take a file is not put to the service.
  constexpr size_t kProposalCapacity = 261;
  const std::u16string proposal =
      UniqueFileName(folder, kDefaultDiskFileName, kProposalCapacity, [&](const std::u16string& candidate) {
        return !taken.empty() &&
               (static_cast<unsigned char>(taken[std::hash<std::u16string>()(candidate) % taken.size()]) & 1) != 0;
      });
  FUZZ_CHECK(proposal.size() < kProposalCapacity);
  FUZZ_CHECK(proposal.empty() || EndsWith(proposal, u".zel"));
  if (taken.empty() && !folder.empty() && folder.find(u'\0') == std::u16string::npos) {
    const std::u16string joined =
        folder + (folder.back() == u'\\' ? u"" : u"\\") + std::u16string(kDefaultDiskFileName);
    FUZZ_CHECK(proposal == (joined.size() < kProposalCapacity ? joined : std::u16string()));
  }
  asked = {};
  const bool createShown = CreateItemShown(proposal, driveTypeQuery, statusQuery);
  if (createShown) FUZZ_CHECK(EndsWith(proposal, u".zel"));
  FUZZ_CHECK(asked.roots.size() <= 1 && asked.drives.size() <= 1);
  if (!asked.roots.empty()) {
    FUZZ_CHECK(asked.roots[0] == proposal.substr(0, 3) && proposal[1] == u':');
    const bool refusedType = driveType == kDriveUnknown || driveType == kDriveNoRootDir || driveType == kDriveCdrom;
    FUZZ_CHECK(asked.drives.empty() == refusedType);
  }
  if (createShown && IsShellPath(proposal)) CheckProgramReads(kCreateTexts, proposal, StartAction::CreateWizard);
  return 0;
}
