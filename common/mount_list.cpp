// The service's list of mounted disks, read into one slot per drive letter.
#include "common/mount_list.h"

#include "common/text.h"

MountSlots ParseMountList(std::u16string_view listText) {
  MountSlots slots;
  for (const std::u16string& line : SplitText(listText, u'\n')) {
    const auto fields = SplitText(line, u'\t');
    if (fields.size() < 3 || fields[0].empty()) continue;
    const char16_t letter = fields[0][0];
    if (letter < u'A' || letter > u'Z') continue;
    MountSlot& slot = slots[static_cast<size_t>(letter - u'A')];
    slot.drive = fields[0];
    slot.path = fields[1];
    slot.number = ReadInteger(fields[2]);
  }
  return slots;
}

std::u16string EntryText(const MountSlot& slot) { return slot.drive + u' ' + slot.path; }
