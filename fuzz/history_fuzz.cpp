// The recent-file list as it is stored: a registry value anybody may have written by hand.
// Fields: the stored text, a path to add (UTF-8 both), and bytes that decide which files exist.
#include <algorithm>
#include <functional>
#include <string>

#include "common/text.h"
#include "fuzz/fuzz_input.h"
#include "utility/history.h"

namespace {

bool SameIgnoringAsciiCase(std::u16string_view a, std::u16string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    auto fold = [](char16_t c) { return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c + 32) : c; };
    if (fold(a[i]) != fold(b[i])) return false;
  }
  return true;
}

// Whether `part` is `whole` with some entries left out, the order kept.
bool IsSubsequence(const std::vector<std::u16string>& part, const std::vector<std::u16string>& whole) {
  size_t k = 0;
  for (const std::u16string& entry : whole) {
    if (k < part.size() && part[k] == entry) ++k;
  }
  return k == part.size();
}

std::vector<std::u16string> NonEmpty(std::vector<std::u16string> entries) {
  std::vector<std::u16string> kept;
  for (std::u16string& entry : entries) {
    if (!entry.empty()) kept.push_back(std::move(entry));
  }
  return kept;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const FuzzFields fields(data, size);
  const std::u16string stored = FromUtf8(fields[0]);
  // No file name holds a line feed, so no path to add does.
  std::u16string path = FromUtf8(fields[1]);
  path.erase(std::remove(path.begin(), path.end(), u'\n'), path.end());
  const std::string_view existing = fields[2];
  const PathExistsFn exists = [existing](const std::u16string& file) {
    return existing.empty() ||
           (static_cast<unsigned char>(existing[std::hash<std::u16string>()(file) % existing.size()]) & 1) != 0;
  };

  // Loading: whatever was stored, the list keeps the existing entries in their order, and
  // saying whether it dropped any is what makes the caller write it back.
  const std::vector<std::u16string> parsed = ParseHistoryText(stored);
  std::vector<std::u16string> history = parsed;
  const bool dropped = RemoveMissingEntries(history, exists);
  FUZZ_CHECK(dropped == (history.size() != parsed.size()));
  FUZZ_CHECK(IsSubsequence(history, parsed));
  size_t usable = 0;
  for (const std::u16string& entry : parsed) usable += !entry.empty() && exists(entry) ? 1 : 0;
  FUZZ_CHECK(history.size() == usable);

  // Written back and loaded again, nothing more goes and nothing comes back.
  std::vector<std::u16string> reloaded = ParseHistoryText(HistoryText(history));
  FUZZ_CHECK(!RemoveMissingEntries(reloaded, exists));
  FUZZ_CHECK(reloaded == history);

  // Adding: the path in front with its own case, at most one earlier spelling of it gone, the
  // rest in order, and never more than the limit.
  const std::vector<std::u16string> before = history;
  AddHistoryEntry(history, path);
  FUZZ_CHECK(!history.empty() && history.front() == path);
  FUZZ_CHECK(history.size() <= kMaxHistoryEntries);
  const std::vector<std::u16string> rest(history.begin() + 1, history.end());
  FUZZ_CHECK(IsSubsequence(rest, before));
  bool spelledBefore = false;
  for (const std::u16string& entry : before) spelledBefore = spelledBefore || SameIgnoringAsciiCase(entry, path);
  const size_t expected = std::min(kMaxHistoryEntries, before.size() + (spelledBefore ? 0 : 1));
  FUZZ_CHECK(history.size() == expected);
  if (!spelledBefore) FUZZ_CHECK(std::equal(rest.begin(), rest.end(), before.begin()));

  // What is stored has no empty line, and reads back as the non-empty entries.
  const std::u16string text = HistoryText(history);
  FUZZ_CHECK(text.find(u"\n\n") == std::u16string::npos && (text.empty() || (text[0] != u'\n' && text.back() == u'\n')));
  FUZZ_CHECK(ParseHistoryText(text) == NonEmpty(history));
  return 0;
}
