// Rules of the Disconnect page that need no window.
#include "utility/unmount_rules.h"

#include "utility/texts.h"

std::u16string FixedDriveOf(std::u16string_view givenDrive) {
  if (givenDrive.empty()) return {};
  char16_t letter = givenDrive[0];
  if (letter >= u'a' && letter <= u'z') letter = static_cast<char16_t>(letter - u'a' + u'A');
  if (letter < u'A' || letter > u'Z') return {};
  return {letter, u':'};
}

UnmountView ComputeUnmountView(std::u16string_view fixedDrive, const MountSlots& slots) {
  UnmountView view;
  if (!fixedDrive.empty()) {
    const MountSlot& slot = slots[static_cast<size_t>(fixedDrive[0] - u'A')];
    view.buttonText = kFinishButton;
    view.buttonEnabled = !slot.drive.empty();
    view.entryText = view.buttonEnabled ? EntryText(slot) : std::u16string(fixedDrive) + kNotMountedSuffix;
    return view;
  }
  view.buttonText = kUnmountButton;
  for (const MountSlot& slot : slots) {
    if (!slot.drive.empty()) view.items.push_back(EntryText(slot));
  }
  view.showList = !view.items.empty();
  view.buttonEnabled = view.showList;
  if (!view.showList) view.entryText = kNoDrivesMounted;
  return view;
}
