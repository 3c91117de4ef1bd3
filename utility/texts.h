// Every message the program shows, with its caption, icon and buttons, and the other fixed texts
// that the code (not the dialog templates) puts on screen.
#pragma once

enum class MessageIcon { None, Information, Warning, Error };

struct MessageText {
  const char16_t* caption;
  const char16_t* text;  // null where the text is given when the message is shown
  MessageIcon icon;
  bool okCancel;  // OK and Cancel; otherwise OK alone
};

// Start-up
inline constexpr MessageText kVersionNotSupported{u"Version Not Supported",
                                                  u"This version of Windows is not\nsupported by Lockvale.",
                                                  MessageIcon::Error, false};
inline constexpr MessageText kHelp{u"Lockvale Help", nullptr, MessageIcon::Information, false};
inline constexpr MessageText kArgumentTooLong{
    u"Path Too Long", u"The path given on the command line is longer than 260 characters.\nPlease use a shorter path.",
    MessageIcon::Error, false};

// Mounting: the text is the disk file's path.
inline constexpr MessageText kFailedToMount{u"Failed to mount", nullptr, MessageIcon::None, false};

// Why the service refused a file (StorageAccessible's access reason).
inline constexpr MessageText kInvalidPassphrase{u"Invalid Passphrase", u"The passphrase is invalid.",
                                                MessageIcon::Warning, false};
inline constexpr MessageText kInvalidFile{u"Invalid File", u"The selected file is invalid.", MessageIcon::Error,
                                          false};
inline constexpr MessageText kFileAccessDenied{u"File Access Denied", u"Access was denied to the selected file.",
                                               MessageIcon::Error, false};
inline constexpr MessageText kFileError{u"File Error", u"The selected file could not be loaded.",
                                        MessageIcon::Error, false};

// Create wizard
inline constexpr MessageText kPasswordMismatch{
    u"Password Mismatch", u"The passphrase and confirm fields do not match. Please try again.", MessageIcon::Error,
    false};
inline constexpr MessageText kBlankPassword{
    u"Blank Password", u"Blank passphrase is not allowed when encryption is checked. Please try again.",
    MessageIcon::Error, false};
inline constexpr MessageText kFileOnMountedDisk{
    u"Could Not Delete File", u"A file cannot exist within a mounted virtual disk.\nPlease choose a different file path.",
    MessageIcon::Warning, false};
inline constexpr MessageText kFileAlreadyExists{
    u"File Already Exists", u"This file already exists and will be overwritten.\nAre you sure you want to continue?",
    MessageIcon::Warning, true};
inline constexpr MessageText kCouldNotDeleteFile{
    u"Could Not Delete File", u"The file could not be deleted.\nPlease choose a different filename.",
    MessageIcon::Warning, false};
// An existing file moved aside for a new disk that could not be put back: the text is
// kFileKeptAsideIntro followed by the name it is kept under.
inline constexpr MessageText kFileKeptAside{u"File Kept Aside", nullptr, MessageIcon::Warning, false};
inline constexpr char16_t kFileKeptAsideIntro[] = u"The existing file could not be put back.\nIt is kept as:\n";
inline constexpr MessageText kNewEncryptedDisk{u"A new, encrypted Virtual Disk will be created.",
                                               u"Be careful to remember its password for future use!",
                                               MessageIcon::Warning, true};

// Mount wizard
inline constexpr MessageText kNoFileSelected{u"No File Selected", u"Please select a file before continuing.",
                                             MessageIcon::Error, false};

// Disconnect page: the caption is the disk's entry text.
inline constexpr MessageText kConfirmUnmount{
    nullptr, u"You are about to unmount this Virtual Disk.\nPlease ensure any open files on it have been closed.",
    MessageIcon::Warning, true};

// Other texts
inline constexpr char16_t kNextButton[] = u"Next";
inline constexpr char16_t kFinishButton[] = u"Finish";
inline constexpr char16_t kUnmountButton[] = u"Unmount";
inline constexpr char16_t kBrowseEntry[] = u"Browse...";
inline constexpr char16_t kNoDrivesMounted[] = u"No drives are currently mounted";
inline constexpr char16_t kNotMountedSuffix[] = u" (Not currently mounted)";
inline constexpr char16_t kDiskFileFilterName[] = u"Virtual Disk Files (*.zel)";
inline constexpr char16_t kDiskFileFilterPattern[] = u"*.zel";
inline constexpr char16_t kAllFilesFilterName[] = u"All Files (*.*)";
inline constexpr char16_t kAllFilesFilterPattern[] = u"*.*";
inline constexpr char16_t kDiskFileExtension[] = u"zel";
