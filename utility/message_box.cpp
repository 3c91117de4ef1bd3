// Showing the program's messages.
#include "utility/message_box.h"

#include <windows.h>

#include <string>

#include "common/wide.h"

bool ShowMessage(const MessageText& message, std::u16string_view text, std::u16string_view caption) {
  UINT flags = message.okCancel ? MB_OKCANCEL : MB_OK;
  switch (message.icon) {
    case MessageIcon::Information: flags |= MB_ICONINFORMATION; break;
    case MessageIcon::Warning: flags |= MB_ICONWARNING; break;
    case MessageIcon::Error: flags |= MB_ICONERROR; break;
    case MessageIcon::None: break;
  }
  const std::wstring shownText = WStr(text.empty() && message.text ? std::u16string_view(message.text) : text);
  const std::wstring shownCaption =
      WStr(caption.empty() && message.caption ? std::u16string_view(message.caption) : caption);
  return ::MessageBoxW(nullptr, shownText.c_str(), shownCaption.c_str(), flags) == IDOK;
}
