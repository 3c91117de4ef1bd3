// A passphrase field whose control only ever holds placeholders.
#include "utility/passphrase_field.h"

#include <string>

#include "common/wide.h"

namespace {

// What the control holds for each unit of the passphrase; it draws its own password character.
constexpr wchar_t kPlaceholder = L'*';
constexpr SIZE_T kPageBytes = 4096;
static_assert(CPassphraseField::kMaxLength * sizeof(char16_t) <= kPageBytes, "the passphrase fits in one page");

constexpr int kClipboardAttempts = 20;
constexpr DWORD kClipboardRetryMs = 10;

constexpr wchar_t kCtrlC = 0x03;
constexpr wchar_t kCtrlV = 0x16;
constexpr wchar_t kCtrlX = 0x18;
constexpr wchar_t kCtrlZ = 0x1A;
constexpr wchar_t kCtrlBackspace = 0x7F;

bool KeyDown(int key) { return ::GetKeyState(key) < 0; }

// Whether the clipboard's text came from this process, whose copy of it is then the original.
bool ClipboardIsOurs() {
  DWORD owner = 0;
  if (HWND window = ::GetClipboardOwner()) ::GetWindowThreadProcessId(window, &owner);
  return owner == ::GetCurrentProcessId();
}

}  // namespace

CPassphraseField::CLockedPage::CLockedPage()
    : m_pData(::VirtualAlloc(nullptr, kPageBytes, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE)) {
  // Where the system refuses the lock (a small working set), the page still works, unlocked.
  if (m_pData != nullptr) ::VirtualLock(m_pData, kPageBytes);
}

CPassphraseField::CLockedPage::~CLockedPage() {
  if (m_pData == nullptr) return;
  WipeMemory(m_pData, kPageBytes);
  ::VirtualUnlock(m_pData, kPageBytes);
  ::VirtualFree(m_pData, 0, MEM_RELEASE);
}

CPassphraseField::CPassphraseField() : m_text(m_page.Units(), kMaxLength) {}

CPassphraseField::~CPassphraseField() {
  if (m_hWnd != nullptr) {
    // The control outlives its field: it goes back to being a plain, empty control.
    ::SetWindowLongPtrW(m_hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(m_pfnControlProc));
    ::SetWindowLongPtrW(m_hWnd, GWLP_USERDATA, 0);
    ::SetWindowTextW(m_hWnd, L"");
  }
  m_text.Clear();
}

void CPassphraseField::Attach(HWND dialog, int id) {
  m_hWnd = ::GetDlgItem(dialog, id);
  if (m_hWnd == nullptr) return;
  ::SetWindowLongPtrW(m_hWnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  m_pfnControlProc =
      reinterpret_cast<WNDPROC>(::SetWindowLongPtrW(m_hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(WindowProc)));
  CallControl(EM_SETLIMITTEXT, kMaxLength, 0);
}

void CPassphraseField::Clear() {
  if (m_hWnd != nullptr) ::SendMessageW(m_hWnd, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L""));
  m_text.Clear();
}

LRESULT CALLBACK CPassphraseField::WindowProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam) {
  auto* field = reinterpret_cast<CPassphraseField*>(::GetWindowLongPtrW(hWnd, GWLP_USERDATA));
  return field->OnMessage(uMsg, wParam, lParam);
}

LRESULT CPassphraseField::OnMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) {
  size_t start = 0;
  size_t end = 0;
  switch (uMsg) {
    case WM_CHAR:
    case WM_IME_CHAR:
      if (OnChar(static_cast<wchar_t>(wParam))) return 0;
      break;
    case WM_UNICHAR:
      return FALSE;  // not taken (wParam UNICODE_NOCHAR asks): senders fall back to WM_CHAR
    case WM_KEYDOWN:
      if (OnKeyDown(wParam)) return 0;
      break;
    case WM_SYSKEYDOWN:
      if (wParam == VK_BACK) return 0;  // Alt+Backspace is the control's undo
      break;
    case WM_PASTE:
      Paste();
      return 0;
    case WM_CLEAR:
      Selection(start, end);
      Change(CPassphraseText::Insert(start, end, {}));
      return 0;
    case WM_CUT:
    case WM_COPY:
    case WM_UNDO:
    case EM_UNDO:
    case EM_CANUNDO:
    case EM_SETLIMITTEXT:
    case EM_SETHANDLE:
      return 0;  // refused: nothing leaves the field, nothing older comes back, the limit is the field's
    case WM_SETTEXT:
      m_text.Apply({0, m_text.View().size(), U16(reinterpret_cast<const wchar_t*>(lParam))});
      ShowPlaceholders();
      return TRUE;
    case EM_REPLACESEL:
      Selection(start, end);
      Change(CPassphraseText::Insert(start, end, U16(reinterpret_cast<const wchar_t*>(lParam))));
      return 0;
    case WM_IME_STARTCOMPOSITION:
    case WM_IME_COMPOSITION:
    case WM_IME_ENDCOMPOSITION:
      // Composed text is not shown in the field: the system hands the result over as WM_IME_CHAR.
      return ::DefWindowProcW(m_hWnd, uMsg, wParam, lParam);
    case WM_NCDESTROY: {
      m_text.Clear();
      HWND hWnd = m_hWnd;
      const WNDPROC proc = m_pfnControlProc;
      ::SetWindowLongPtrW(hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(proc));
      ::SetWindowLongPtrW(hWnd, GWLP_USERDATA, 0);
      m_hWnd = nullptr;
      return ::CallWindowProcW(proc, hWnd, uMsg, wParam, lParam);
    }
    default:
      break;
  }
  return CallControl(uMsg, wParam, lParam);
}

LRESULT CPassphraseField::CallControl(UINT uMsg, WPARAM wParam, LPARAM lParam) const {
  return ::CallWindowProcW(m_pfnControlProc, m_hWnd, uMsg, wParam, lParam);
}

void CPassphraseField::Selection(size_t& start, size_t& end) const {
  DWORD from = 0;
  DWORD to = 0;
  CallControl(EM_GETSEL, reinterpret_cast<WPARAM>(&from), reinterpret_cast<LPARAM>(&to));
  start = from;
  end = to;
}

void CPassphraseField::Change(const PassphraseEdit& edit) {
  const PassphraseEdit made = m_text.Apply(edit);
  if (!edit.inserted.empty() && made.inserted.empty()) ::MessageBeep(MB_OK);  // full
  if (made.start == made.end && made.inserted.empty()) return;
  // The control makes the same change in placeholders, and with it tells the page (EN_CHANGE),
  // which reads the passphrase already changed.
  CallControl(EM_SETSEL, made.start, made.end);
  const std::wstring placeholders(made.inserted.size(), kPlaceholder);
  CallControl(EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(placeholders.c_str()));
  // Every position in the control must be the same position in the passphrase: should the
  // control ever have taken the change otherwise, it is shown the right placeholders afresh.
  if (static_cast<size_t>(CallControl(WM_GETTEXTLENGTH, 0, 0)) != m_text.View().size()) ShowPlaceholders();
}

void CPassphraseField::ShowPlaceholders() const {
  // As for any new text, the control puts the caret at the start and tells the page (EN_CHANGE).
  const std::wstring all(m_text.View().size(), kPlaceholder);
  CallControl(WM_SETTEXT, 0, reinterpret_cast<LPARAM>(all.c_str()));
}

bool CPassphraseField::OnChar(wchar_t c) {
  size_t start = 0;
  size_t end = 0;
  Selection(start, end);
  switch (c) {
    case VK_BACK:
      Change(m_text.Backspace(start, end));
      return true;
    case kCtrlBackspace:
      Change(m_text.DeleteToStart(start, end));
      return true;
    case kCtrlV:
      Paste();
      return true;
    case kCtrlC:
    case kCtrlX:
    case kCtrlZ:
      return true;  // copy, cut and undo are refused
    default:
      break;
  }
  if (c < L' ') return false;  // the other control keys change no text: the control has them
  const char16_t unit = static_cast<char16_t>(c);
  Change(CPassphraseText::Insert(start, end, std::u16string_view(&unit, 1)));
  return true;
}

bool CPassphraseField::OnKeyDown(WPARAM key) {
  if (KeyDown(VK_MENU)) return false;
  const bool shift = KeyDown(VK_SHIFT);
  const bool control = KeyDown(VK_CONTROL);
  size_t start = 0;
  size_t end = 0;
  Selection(start, end);
  switch (key) {
    case VK_DELETE:
      // Shift+Delete is cut, which a password field refuses.
      if (!shift) Change(control ? m_text.DeleteToEnd(start, end) : m_text.Delete(start, end));
      return true;
    case VK_INSERT:
      // Shift+Insert pastes; Ctrl+Insert copies, which a password field refuses.
      if (shift && !control) Paste();
      return shift || control;
    default:
      return false;
  }
}

void CPassphraseField::Paste() {
  size_t start = 0;
  size_t end = 0;
  Selection(start, end);
  // Another program may hold the clipboard open for a moment (one that watches it, say).
  bool open = false;
  for (int attempt = 0; attempt < kClipboardAttempts && !(open = ::OpenClipboard(m_hWnd) != FALSE); ++attempt) {
    ::Sleep(kClipboardRetryMs);
  }
  if (!open) return;
  HANDLE data = ::GetClipboardData(CF_UNICODETEXT);
  auto* units = data != nullptr ? static_cast<wchar_t*>(::GlobalLock(data)) : nullptr;
  if (units != nullptr) {
    const size_t size = ::GlobalSize(data) / sizeof(wchar_t);
    const std::wstring_view whole(units, size);
    Change(CPassphraseText::Insert(start, end, FirstLine(U16(whole.substr(0, whole.find(L'\0'))))));
    // What this process was handed is its own copy of another program's text, to be used while
    // the clipboard is open (the next opening fetches it afresh). Left alone, it would keep the
    // pasted passphrase in this process's memory once the clipboard has moved on.
    if (!ClipboardIsOurs()) WipeMemory(units, size * sizeof(wchar_t));
    ::GlobalUnlock(data);
  } else {
    // Nothing to paste still takes the selection away, as in any password field.
    Change(CPassphraseText::Insert(start, end, {}));
  }
  ::CloseClipboard();
}
