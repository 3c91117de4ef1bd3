// The drive letters a drive page offers.
#include "utility/free_drives.h"

std::vector<std::u16string> FreeDriveItems(uint32_t logicalDriveMask) {
  std::vector<std::u16string> items;
  if (logicalDriveMask == 0) return items;
  for (char16_t letter = u'E'; letter <= u'Z'; ++letter) {
    if ((logicalDriveMask & (1u << (letter - u'A'))) == 0) items.push_back({letter, u':'});
  }
  return items;
}
