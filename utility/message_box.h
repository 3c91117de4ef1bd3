// Showing the program's messages: message boxes without an owner window.
#pragma once

#include <string_view>

#include "utility/access_messages.h"
#include "utility/texts.h"

// Shows the message; text and caption, when given, stand in for the message's own. Returns true
// when the user pressed OK.
bool ShowMessage(const MessageText& message, std::u16string_view text = {}, std::u16string_view caption = {});
