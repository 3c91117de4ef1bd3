// The service's List reply read into drive slots, and the Disconnect page built from them for
// the drive given on the command line. Fields: the given drive, then the list text (UTF-8);
// an input without a separator is a list and no drive.
#include <string>

#include "common/mount_list.h"
#include "common/text.h"
#include "fuzz/fuzz_input.h"
#include "utility/unmount_rules.h"

namespace {

std::u16string ListText(const MountSlots& slots) {
  std::u16string text;
  for (const MountSlot& slot : slots) {
    if (slot.drive.empty()) continue;
    text += slot.drive + u'\t' + slot.path + u'\t' + U16(std::to_string(slot.number)) + u'\n';
  }
  return text;
}

bool SameSlots(const MountSlots& a, const MountSlots& b) {
  for (size_t i = 0; i < a.size(); ++i) {
    if (a[i].drive != b[i].drive || a[i].path != b[i].path || a[i].number != b[i].number) return false;
  }
  return true;
}

bool IsLetter(char16_t c) { return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z'); }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const FuzzFields fields(data, size);
  const std::u16string given = fields.Count() > 1 ? FromUtf8(fields[0]) : std::u16string();
  const std::u16string list = FromUtf8(fields.Count() > 1 ? fields[1] : fields[0]);

  // Each used slot is its own letter's, and holds one whole field of a line each.
  const MountSlots slots = ParseMountList(list);
  size_t used = 0;
  for (size_t i = 0; i < slots.size(); ++i) {
    const MountSlot& slot = slots[i];
    if (slot.drive.empty()) {
      FUZZ_CHECK(slot.path.empty() && slot.number == 0);
      continue;
    }
    ++used;
    FUZZ_CHECK(slot.drive[0] == u'A' + i);
    for (const std::u16string* field : {&slot.drive, &slot.path}) {
      FUZZ_CHECK(field->find(u'\t') == std::u16string::npos && field->find(u'\n') == std::u16string::npos);
    }
  }
  // Written out again as the service would list them, the slots read back the same.
  FUZZ_CHECK(SameSlots(ParseMountList(ListText(slots)), slots));

  // The page's drive is a capital and a colon, or nothing, and stays that when read again.
  const std::u16string fixed = FixedDriveOf(given);
  FUZZ_CHECK(fixed.empty() == (given.empty() || !IsLetter(given[0])));
  FUZZ_CHECK(fixed.empty() || (fixed.size() == 2 && fixed[0] >= u'A' && fixed[0] <= u'Z' && fixed[1] == u':'));
  FUZZ_CHECK(FixedDriveOf(fixed) == fixed);

  const UnmountView view = ComputeUnmountView(fixed, slots);
  FUZZ_CHECK(view.buttonText != nullptr);
  if (!fixed.empty()) {
    // One drive: its entry or "not mounted", never the list; Finish only for a mounted one.
    const MountSlot& slot = slots[static_cast<size_t>(fixed[0] - u'A')];
    FUZZ_CHECK(!view.showList && view.items.empty());
    FUZZ_CHECK(view.buttonEnabled == !slot.drive.empty());
    FUZZ_CHECK(!view.entryText.empty() && view.entryText[0] == fixed[0]);
    if (view.buttonEnabled) FUZZ_CHECK(view.entryText == EntryText(slot));
  } else {
    // Every mounted disk once, A to Z, and Unmount only with something to select.
    FUZZ_CHECK(view.items.size() == used);
    FUZZ_CHECK(view.showList == (used > 0) && view.buttonEnabled == view.showList);
    FUZZ_CHECK(view.showList || !view.entryText.empty());
    for (size_t k = 0; k < view.items.size(); ++k) {
      const std::u16string& item = view.items[k];
      FUZZ_CHECK(!item.empty() && item[0] >= u'A' && item[0] <= u'Z');
      FUZZ_CHECK(item == EntryText(slots[static_cast<size_t>(item[0] - u'A')]));
      if (k > 0) FUZZ_CHECK(view.items[k - 1][0] < item[0]);
    }
  }
  return 0;
}
