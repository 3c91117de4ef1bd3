// Rules of the Mount wizard that need no window.
#include "utility/mount_rules.h"

#include "common/disk_service_client.h"
#include "utility/texts.h"

bool ProbeResult::NeedsPassphrase() const { return result == 0 && accessReason == kAccessInvalidPassphrase; }

ProbeResult ProbeDisk(CDiskServiceClient& service, const std::u16string& path) {
  ProbeResult probe;
  probe.result = service.StorageAccessible(path, u"", probe.accessReason);
  return probe;
}

MountCourse CourseForGivenFile(const ProbeResult& probe) {
  if (probe.NeedsPassphrase()) return MountCourse::DriveThenPassphrase;
  return probe.result != 0 ? MountCourse::DrivePage : MountCourse::Refused;
}

std::vector<std::u16string> LocationListItems(const std::vector<std::u16string>& history) {
  std::vector<std::u16string> items{u""};
  items.insert(items.end(), history.begin(), history.end());
  items.emplace_back(kBrowseEntry);
  return items;
}
