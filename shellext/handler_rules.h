// What the context-menu handlers decide without asking Windows: the program path in the open
// command, the command line they start, which help-text requests they answer, and whether an
// item belongs on the menu.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

// The program path holds at most this many characters (a buffer of MAX_PATH with its NUL).
inline constexpr size_t kMaxProgramPath = 259;

// The program path of an open command: a path in double quotes up to the closing quote (or the
// whole rest when there is none), an unquoted one up to the first blank. Nothing is trimmed or
// expanded. Empty when the path is longer than kMaxProgramPath: a cut path would name some
// other file, and starting nothing is the safer failure.
std::u16string ProgramFromCommand(std::u16string_view command);

// The switch followed directly by the argument: no quotes, no escaping, blanks and all.
std::u16string ParameterText(std::u16string_view commandSwitch, std::u16string_view argument);

// How a help-text request is answered: a type with neither the help bit (0x1) nor the wide bit
// (0x4) is refused; otherwise the wide bit chooses the wide form.
enum class HelpTextForm { Refused, Ansi, Wide };
HelpTextForm HelpTextFormFor(uint32_t requestType);

// The answer of the disk service to a Status request for a drive: non-zero for a mounted disk.
using StatusQuery = std::function<int32_t(std::u16string_view drive)>;

// The drive a path lies on as the Status request names it ("D:"), or empty text for a path
// that does not begin with a drive letter and a colon (a network path).
std::u16string_view DriveOfPath(std::u16string_view path);

// A drive as the shell names it, E: or E:\ (two or three characters, the second a colon).
bool IsDriveText(std::u16string_view text);

// Mount is offered for a disk file unless it lies on a mounted virtual disk; a file without a
// drive letter is offered without asking the service.
bool MountItemShown(std::u16string_view file, const StatusQuery& status);

// Unmount is offered only for a drive that the service reports as mounted; the drive text goes
// to the service as the shell gave it.
bool UnmountItemShown(std::u16string_view driveText, const StatusQuery& status);

// Drive types as the system reports them for a root folder.
inline constexpr uint32_t kDriveUnknown = 0;
inline constexpr uint32_t kDriveNoRootDir = 1;
inline constexpr uint32_t kDriveCdrom = 5;
using DriveTypeQuery = std::function<uint32_t(std::u16string_view root)>;

// Create is offered for the proposed new disk file in a folder unless its drive cannot take a
// new file (unknown, missing, CD-ROM) or is itself a mounted virtual disk; not at all without a
// proposal (empty: the folder leaves no room for the name). A folder without a drive letter is
// offered as is.
bool CreateItemShown(std::u16string_view proposal, const DriveTypeQuery& driveType, const StatusQuery& status);
