// The recent-file list: most recent first, at most five entries after an addition, stored as
// one text of entries each ended by a line feed.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

inline constexpr size_t kMaxHistoryEntries = 5;

using PathExistsFn = std::function<bool(const std::u16string&)>;

// The entries of a stored history text, empty ones included.
std::vector<std::u16string> ParseHistoryText(std::u16string_view text);

// Drops every entry that names nothing on disk (an empty entry counts as missing); returns
// whether anything was dropped, so that the caller writes the list back.
bool RemoveMissingEntries(std::vector<std::u16string>& history, const PathExistsFn& exists);

// Puts path at the front with its own letter case, after removing the first entry that equals it
// when the letters A to Z are compared without case, and keeps at most kMaxHistoryEntries.
void AddHistoryEntry(std::vector<std::u16string>& history, const std::u16string& path);

// The text to store: every non-empty entry followed by a line feed.
std::u16string HistoryText(const std::vector<std::u16string>& history);
