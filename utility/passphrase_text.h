// The text behind a passphrase field. The field's window shows one placeholder for each UTF-16
// code unit of it, so a position in the window is the same position here; every key, paste or
// program call that changes the window is first worked out here as one edit (the units from
// start to end give way to the inserted text) and then applied to both in the same way.
// The text lives in storage of fixed size that its owner provides and never moves: nothing is
// ever copied to grow it, and every unit it stops using is wiped at once.
#pragma once

#include <cstddef>
#include <string_view>

// One change: the units [start, end) give way to inserted.
struct PassphraseEdit {
  size_t start = 0;
  size_t end = 0;
  std::u16string_view inserted;
};

class CPassphraseText {
 public:
  // storage holds capacity units and stays its owner's; it is wiped here.
  CPassphraseText(char16_t* storage, size_t capacity);
  ~CPassphraseText();
  CPassphraseText(const CPassphraseText&) = delete;
  CPassphraseText& operator=(const CPassphraseText&) = delete;

  std::u16string_view View() const { return {m_storage, m_length}; }
  size_t Capacity() const { return m_capacity; }

  // Makes the edit, with its range kept to the text and widened so that no character is cut in
  // two, and the inserted text cut to what fits (never inside a character). Returns the edit as
  // made, its inserted text now in the storage; nothing happened when its range and inserted
  // text are both empty.
  PassphraseEdit Apply(PassphraseEdit edit);
  // Empties the text and wipes the storage.
  void Clear();

  // The edit of each key over the selection [start, end) (either order), or over the caret when
  // they are equal: typed or pasted text replaces the selection; Backspace and Delete remove it,
  // or else the character before or after the caret; Ctrl+Backspace and Ctrl+Delete remove it,
  // or else everything before or after the caret (a hidden text shows no words to stop at).
  static PassphraseEdit Insert(size_t start, size_t end, std::u16string_view text);
  PassphraseEdit Backspace(size_t start, size_t end) const;
  PassphraseEdit Delete(size_t start, size_t end) const;
  PassphraseEdit DeleteToStart(size_t start, size_t end) const;
  PassphraseEdit DeleteToEnd(size_t start, size_t end) const;

 private:
  bool SplitsCharacter(size_t position) const;

  char16_t* m_storage;
  size_t m_capacity;
  size_t m_length = 0;
};

// What a one-line field takes of pasted text: everything up to its first line break.
std::u16string_view FirstLine(std::u16string_view text);
