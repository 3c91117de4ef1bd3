// A passphrase field: the page's password edit control, taken over so that it never holds the
// passphrase. The control keeps doing what users and screen readers know of a password field
// (class Edit, password style, masked display, caret, selection, tab order, EN_CHANGE to the
// page on every change), but it only ever holds one placeholder for each character; the
// characters themselves live in one page of memory of the field's own, locked so that it is
// never written to the page file, wiped on every change that gives up text, on every clear and
// when the field goes. Typing, Backspace, Delete, their Ctrl forms, paste (Ctrl+V, Shift+Insert,
// the context menu), WM_SETTEXT and EM_REPLACESEL all become edits of that text; undo, cut and
// copy are refused. Reading the control's text, from any process, gives placeholders only.
#pragma once

#include <windows.h>

#include <string_view>

#include "common/secret_text.h"
#include "utility/passphrase_text.h"

class CPassphraseField {
 public:
  // The longest passphrase the field takes, in UTF-16 code units: far beyond what anyone types
  // or pastes, and what one page of memory holds.
  static constexpr size_t kMaxLength = 1024;

  CPassphraseField();
  ~CPassphraseField();
  CPassphraseField(const CPassphraseField&) = delete;
  CPassphraseField& operator=(const CPassphraseField&) = delete;

  // Takes over the dialog's edit control id; once per field.
  void Attach(HWND dialog, int id);

  // The passphrase, valid until the next change.
  std::u16string_view View() const { return m_text.View(); }
  // A copy that wipes itself.
  SecretText Text() const { return SecretText(m_text.View()); }
  // Empties the field (the page hears EN_CHANGE, as for any change) and wipes the passphrase.
  void Clear();

  HWND m_hWnd = nullptr;

 private:
  static LRESULT CALLBACK WindowProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam);
  LRESULT OnMessage(UINT uMsg, WPARAM wParam, LPARAM lParam);
  LRESULT CallControl(UINT uMsg, WPARAM wParam, LPARAM lParam) const;
  void Selection(size_t& start, size_t& end) const;
  // Makes edit in the passphrase, then the same in the placeholders the control shows.
  void Change(const PassphraseEdit& edit);
  // Gives the control a whole new text: the passphrase's placeholders.
  void ShowPlaceholders() const;
  bool OnChar(wchar_t c);
  bool OnKeyDown(WPARAM key);
  void Paste();

  // One page of memory, locked in where the system allows; wiped before it is given back.
  class CLockedPage {
   public:
    CLockedPage();
    ~CLockedPage();
    CLockedPage(const CLockedPage&) = delete;
    CLockedPage& operator=(const CLockedPage&) = delete;
    char16_t* Units() const { return static_cast<char16_t*>(m_pData); }

   private:
    void* m_pData;
  };

  CLockedPage m_page;  // declared first: it outlives the text kept in it
  CPassphraseText m_text;
  WNDPROC m_pfnControlProc = nullptr;
};
