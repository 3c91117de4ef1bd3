// Rules of the Disconnect page that need no window.
#pragma once

#include <string>
#include <string_view>

// The drive the page is fixed to: the first character of the given text, upper-cased, and a
// colon, when that character is a letter; otherwise empty (the page lists every mounted disk).
std::u16string FixedDriveOf(std::u16string_view givenDrive);
