// The service's list of mounted disks, read into one slot per drive letter A to Z.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

struct MountSlot {
  std::u16string drive;  // as the service sent it; empty: no disk on this letter
  std::u16string path;
  int32_t number = 0;  // the service's third field; kept, not used
};

using MountSlots = std::array<MountSlot, 26>;

// Lines at LF, fields at TAB. A line counts when it has at least three fields and its first
// field starts with a capital letter; a later line for the same letter replaces an earlier one.
MountSlots ParseMountList(std::u16string_view listText);

// What the Disconnect page shows for a slot and sends back with Unmount: drive, a space, path.
std::u16string EntryText(const MountSlot& slot);
