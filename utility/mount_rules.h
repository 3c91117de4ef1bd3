// Rules of the Mount wizard that need no window: what the empty-passphrase probe means, how a
// given file opens the wizard, and what the location list holds.
#pragma once

#include <string>
#include <vector>

class CDiskServiceClient;

// The service's answer to StorageAccessible with an empty passphrase.
struct ProbeResult {
  int result = 0;
  int accessReason = 0;
  // Refused with reason 4: the disk is encrypted and needs a passphrase.
  bool NeedsPassphrase() const;
};

ProbeResult ProbeDisk(CDiskServiceClient& service, const std::u16string& path);

enum class MountCourse {
  LocationPage,          // no usable file: choose one first
  DrivePage,             // a disk that opens without a passphrase
  DriveThenPassphrase,   // a disk that needs one
  Refused,               // the service refused the file: show why and stop
};

// How the wizard opens for a file given on the command line that exists (a folder included).
MountCourse CourseForGivenFile(const ProbeResult& probe);

// The location list: an empty entry, the recent files, and the browse entry last.
std::vector<std::u16string> LocationListItems(const std::vector<std::u16string>& history);
