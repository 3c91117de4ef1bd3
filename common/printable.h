// Text from outside made safe to print on a console or into a log: what a client or a service
// sent may carry control characters that move the cursor, clear the screen or forge lines.
#pragma once

#include <string>
#include <string_view>

// UTF-8 text in which every control character (U+0000 to U+001F, U+007F to U+009F) is shown as
// \xNN and every malformed byte as U+FFFD; all else stays as it is.
std::string PrintableText(std::string_view utf8);
