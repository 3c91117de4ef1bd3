// Where the recent-file list lives: the per-user registry value "FileHistory".
#pragma once

#include <string>
#include <string_view>

// The stored text; empty when the key or value is missing, is not REG_SZ, or is not UTF-16 text
// (an odd byte count).
std::u16string ReadHistoryValue();

// Writes the text as REG_SZ, creating the key when needed. Failures are ignored: the list is a
// convenience, and nothing the user asked for depends on it.
void WriteHistoryValue(std::u16string_view text);
