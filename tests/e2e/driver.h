// Drives a running Lockvale.exe from the test process the way a person would: finds its
// windows, reads and types into controls, clicks, and answers message boxes. Every wait polls
// with a deadline and every cross-process send has a time limit, so no call can hang a test.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

// Polls cond every 10 ms until it holds or timeoutMs passes; returns whether it held.
bool WaitUntil(const std::function<bool()>& cond, DWORD timeoutMs);

// One started Lockvale.exe.
class CProgram {
 public:
  CProgram() = default;
  // Terminates the process if it still runs, waits for it and closes the handles.
  ~CProgram();
  CProgram(const CProgram&) = delete;
  CProgram& operator=(const CProgram&) = delete;

  // Starts the program with `arguments` as its command-line tail: the command line is
  // "\"<path>\" " + arguments, or "\"<path>\"" alone when arguments is empty. showCommand goes
  // to STARTUPINFO; extraEnvironment holds NAME=VALUE entries added to (or replacing entries
  // of the same name in) the inherited environment. False when the process could not start.
  bool Start(const std::wstring& arguments, WORD showCommand = SW_SHOWNORMAL,
             const std::vector<std::wstring>& extraEnvironment = {});
  DWORD Pid() const { return m_pid; }
  // True, and the exit code when exitCode is not null, once the process has ended within timeoutMs.
  bool WaitExit(DWORD timeoutMs, DWORD* exitCode);
  bool IsRunning() const;
  // %LV_PROGRAM% when set, otherwise <folder of the test exe>\..\..\utility\Lockvale.exe.
  static std::wstring ProgramPath();

 private:
  void Close();

  HANDLE m_process = nullptr;
  DWORD m_pid = 0;
};

// Visible top-level windows of process pid, topmost first.
std::vector<HWND> TopWindows(DWORD pid);
// Waits for a visible top-level window of pid for which pred holds; nullptr on time-out.
HWND WaitForWindow(DWORD pid, const std::function<bool(HWND)>& pred, DWORD timeoutMs);

std::wstring WindowText(HWND hwnd);  // WM_GETTEXT, so an edit's current text as well
std::wstring ClassNameOf(HWND hwnd);
std::wstring ControlText(HWND dialog, int id);  // "" when the control is absent
bool HasControl(HWND dialog, int id);
bool IsControlVisible(HWND dialog, int id);
bool IsControlEnabled(HWND dialog, int id);
RECT WindowRectOf(HWND hwnd);

// Posts BN_CLICKED from control id to the dialog. Posted, so a handler that opens a modal box
// does not block the test.
void Click(HWND dialog, int id);
// Replaces an edit control's text; the control notifies EN_CHANGE itself.
void SetControlText(HWND dialog, int id, const std::wstring& text);

// Drop-down lists.
std::vector<std::wstring> ComboItems(HWND dialog, int id);
int ComboSelection(HWND dialog, int id);  // CB_ERR (-1) when nothing is selected
// Selects an item and posts CBN_SELCHANGE, as a user's choice would.
void SelectComboItem(HWND dialog, int id, int index);

// Check boxes; ClickCheckBox posts BM_CLICK to the box, so the box toggles and notifies itself.
bool IsChecked(HWND dialog, int id);
void ClickCheckBox(HWND dialog, int id);

struct MessageBoxInfo {
  HWND hwnd = nullptr;  // null when no box came
  std::wstring caption;
  std::wstring text;
  bool hasCancel = false;  // an IDCANCEL button is present and visible
  // 0 without icon; MB_ICONERROR, MB_ICONWARNING, MB_ICONINFORMATION or MB_ICONQUESTION for
  // the standard icons; -1 when the box shows an icon that could not be told.
  int icon = 0;
};

// True for a visible message box: a "#32770" dialog with its text in static 0xFFFF and nothing
// but statics and buttons IDOK..IDCONTINUE.
bool IsMessageBox(HWND hwnd);
// Waits for a visible message box of pid; hwnd is null on time-out.
MessageBoxInfo WaitForMessageBox(DWORD pid, DWORD timeoutMs);
// Presses buttonId (IDOK, IDCANCEL, IDYES, ...) on the box and waits, at most about 5 s, until
// the box is no longer visible; returns whether it went away.
bool AnswerMessageBox(const MessageBoxInfo& box, int buttonId);
// True when pid shows no message box right now.
bool NoMessageBox(DWORD pid);

// Keyboard input as a person gives it: real key events (SendInput) that go to whatever has the
// focus in the foreground window, so they reach only what the program made of its focus.
// Makes window the foreground window and waits until it is; false on time-out.
bool MakeForeground(HWND window);
// Presses and releases a key given by its virtual-key code (VK_TAB, VK_RETURN, VK_SPACE, ...).
void PressKey(WORD virtualKey);
// Presses key while modifier (VK_CONTROL, VK_SHIFT, ...) is held down.
void PressChord(WORD modifier, WORD key);
// Types text, one key press per character.
void TypeText(const std::wstring& text);
// The window with the keyboard focus in the thread of window; null when none has it.
HWND FocusedWindow(HWND window);
// Waits until the keyboard focus is in window (a message box just shown takes a moment to get
// it); false on time-out.
bool WaitForFocusIn(HWND window, DWORD timeoutMs);
// Waits until control id of dialog has the keyboard focus; false on time-out.
bool WaitForFocusOn(HWND dialog, int id, DWORD timeoutMs);
