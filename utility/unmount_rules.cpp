// Rules of the Disconnect page that need no window.
#include "utility/unmount_rules.h"

std::u16string FixedDriveOf(std::u16string_view givenDrive) {
  if (givenDrive.empty()) return {};
  char16_t letter = givenDrive[0];
  if (letter >= u'a' && letter <= u'z') letter = static_cast<char16_t>(letter - u'a' + u'A');
  if (letter < u'A' || letter > u'Z') return {};
  return {letter, u':'};
}
