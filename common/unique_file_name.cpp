// A name for a new file in a folder that is not taken yet.
#include "common/unique_file_name.h"

#include <string>

std::u16string UniqueFileName(std::u16string_view folder, std::u16string_view name, size_t capacity,
                              const std::function<bool(const std::u16string&)>& exists) {
  const size_t dot = name.rfind(u'.');
  const std::u16string_view stem = dot == std::u16string_view::npos ? name : name.substr(0, dot);
  const std::u16string_view extension = dot == std::u16string_view::npos ? std::u16string_view() : name.substr(dot);

  std::u16string base(folder.substr(0, folder.find(u'\0')));
  if (!base.empty() && base.back() != u'\\') base += u'\\';

  auto candidate = [&](int k) {
    std::u16string path = base;
    path += stem;
    if (k > 0) {
      path += u' ';
      for (char c : std::to_string(k)) path += static_cast<char16_t>(c);
    }
    path += extension;
    return path;
  };

  for (int k = 0;; ++k) {
    std::u16string path = candidate(k);
    if (path.size() >= capacity) return {};
    if (k == 99 || !exists(path)) return path;
  }
}
