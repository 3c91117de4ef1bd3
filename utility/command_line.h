// Reading the program's command line into one start request, and what it opens first.
#pragma once

#include <string>
#include <string_view>

// The argument buffer holds 260 characters and the NUL.
inline constexpr size_t kMaxArgumentLength = 260;

struct StartRequest {
  bool help = false;           // "/?" or "-?" at the very start
  char16_t switchLetter = 0;   // 0 for an empty command line; 'm' for a bare argument
  std::u16string argument;     // trimmed, outer quotes removed, at most kMaxArgumentLength
  bool argumentTooLong = false;  // the argument, or the new disk's path in a folder it names, does not fit
};

enum class StartAction { Help, StartWindow, CreateWizard, MountWizard, UnmountWizard, RefuseArgument };

// The command line as the process receives it after its own name.
StartRequest ReadCommandLine(std::u16string_view commandLine);

// The first window the request asks for. A path argument that did not fit is refused rather
// than cut, since a cut path names some other file.
StartAction ChooseStartAction(const StartRequest& request);

// The Create and Mount forms (a bare argument included) take a file path; the Disconnect form
// takes a drive.
bool ArgumentIsPath(const StartRequest& request);

// The text of the help message; programName is the program's file name.
std::u16string HelpText(std::u16string_view programName);

// Windows XP (5.1) and later of the NT family; 95/98/Me, NT 4 and 2000 are refused.
bool IsSupportedWindowsVersion(unsigned long platformId, unsigned long major, unsigned long minor);
