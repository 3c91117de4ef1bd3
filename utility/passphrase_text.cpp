// The text behind a passphrase field and the edits of its keys.
#include "utility/passphrase_text.h"

#include <algorithm>
#include <string>

#include "common/secret_text.h"

namespace {

bool IsHighSurrogate(char16_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
bool IsLowSurrogate(char16_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }

using Units = std::char_traits<char16_t>;

}  // namespace

CPassphraseText::CPassphraseText(char16_t* storage, size_t capacity)
    : m_storage(storage), m_capacity(storage != nullptr ? capacity : 0) {
  Clear();
}

CPassphraseText::~CPassphraseText() { Clear(); }

bool CPassphraseText::SplitsCharacter(size_t position) const {
  return position > 0 && position < m_length && IsHighSurrogate(m_storage[position - 1]) &&
         IsLowSurrogate(m_storage[position]);
}

PassphraseEdit CPassphraseText::Apply(PassphraseEdit edit) {
  size_t start = std::min({edit.start, edit.end, m_length});
  size_t end = std::min(std::max(edit.start, edit.end), m_length);
  if (start == end) {
    if (SplitsCharacter(start)) end = ++start;  // a caret inside a character types after it
  } else {
    if (SplitsCharacter(start)) --start;
    if (SplitsCharacter(end)) ++end;
  }
  const size_t room = m_capacity - (m_length - (end - start));
  size_t count = std::min(edit.inserted.size(), room);
  if (count < edit.inserted.size() && count > 0 && IsHighSurrogate(edit.inserted[count - 1])) --count;

  const size_t oldLength = m_length;
  Units::move(m_storage + start + count, m_storage + end, m_length - end);
  Units::copy(m_storage + start, edit.inserted.data(), count);
  m_length = m_length - (end - start) + count;
  if (m_length < oldLength) WipeMemory(m_storage + m_length, (oldLength - m_length) * sizeof(char16_t));
  return {start, end, {m_storage + start, count}};
}

void CPassphraseText::Clear() {
  if (m_storage != nullptr) WipeMemory(m_storage, m_capacity * sizeof(char16_t));
  m_length = 0;
}

PassphraseEdit CPassphraseText::Insert(size_t start, size_t end, std::u16string_view text) {
  return {std::min(start, end), std::max(start, end), text};
}

PassphraseEdit CPassphraseText::Backspace(size_t start, size_t end) const {
  if (start != end) return Insert(start, end, {});
  const size_t caret = std::min(start, m_length);
  if (caret == 0) return {};
  return {caret - 1, caret, {}};  // widened to the whole character where it has two units
}

PassphraseEdit CPassphraseText::Delete(size_t start, size_t end) const {
  if (start != end) return Insert(start, end, {});
  if (start >= m_length) return {};
  return {start, start + 1, {}};
}

PassphraseEdit CPassphraseText::DeleteToStart(size_t start, size_t end) const {
  if (start != end) return Insert(start, end, {});
  return {0, std::min(start, m_length), {}};
}

PassphraseEdit CPassphraseText::DeleteToEnd(size_t start, size_t end) const {
  if (start != end) return Insert(start, end, {});
  return {std::min(start, m_length), m_length, {}};
}

std::u16string_view FirstLine(std::u16string_view text) { return text.substr(0, text.find_first_of(u"\r\n")); }
