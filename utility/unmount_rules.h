// Rules of the Disconnect page that need no window: which drive it is fixed to, and what it
// shows for the service's list of mounted disks.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "common/mount_list.h"

// The drive the page is fixed to: the first character of the given text, upper-cased, and a
// colon, when that character is a letter; otherwise empty (the page lists every mounted disk).
std::u16string FixedDriveOf(std::u16string_view givenDrive);

// What the page shows: the list of entries, or one line of text in the read-only box.
struct UnmountView {
  bool showList = false;
  std::vector<std::u16string> items;  // list entries, A to Z; the first is selected
  std::u16string entryText;           // the read-only box, when the list is not shown
  const char16_t* buttonText = nullptr;
  bool buttonEnabled = false;
};

UnmountView ComputeUnmountView(std::u16string_view fixedDrive, const MountSlots& slots);
