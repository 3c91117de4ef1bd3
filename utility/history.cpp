// The recent-file list rules.
#include "utility/history.h"

#include <algorithm>

#include "common/text.h"

std::vector<std::u16string> ParseHistoryText(std::u16string_view text) { return SplitText(text, u'\n'); }

bool RemoveMissingEntries(std::vector<std::u16string>& history, const PathExistsFn& exists) {
  const size_t before = history.size();
  history.erase(std::remove_if(history.begin(), history.end(),
                               [&](const std::u16string& entry) { return entry.empty() || !exists(entry); }),
                history.end());
  return history.size() != before;
}

void AddHistoryEntry(std::vector<std::u16string>& history, const std::u16string& path) {
  const std::u16string key = ToLowerAscii(path);
  auto same = std::find_if(history.begin(), history.end(),
                           [&](const std::u16string& entry) { return ToLowerAscii(entry) == key; });
  if (same != history.end()) history.erase(same);
  history.insert(history.begin(), path);
  if (history.size() > kMaxHistoryEntries) history.resize(kMaxHistoryEntries);
}

std::u16string HistoryText(const std::vector<std::u16string>& history) {
  std::u16string text;
  for (const std::u16string& entry : history) {
    if (entry.empty()) continue;
    text += entry;
    text += u'\n';
  }
  return text;
}
