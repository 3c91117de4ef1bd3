// Drives a running Lockvale.exe from the test process. Windows belong to another process, so
// every message that must return something goes through SendMessageTimeout (a hung program
// fails the test instead of hanging it), and clicks are posted: their handlers may open modal
// boxes that only return once the test has answered them.
#include "tests/e2e/driver.h"

#include <algorithm>
#include <cstdio>
#include <cwchar>

namespace {

constexpr DWORD kPollMs = 10;
constexpr DWORD kSendTimeoutMs = 5000;
constexpr DWORD kBoxCloseTimeoutMs = 5000;
constexpr DWORD kIconPaintTimeoutMs = 1000;
constexpr DWORD kTerminateTimeoutMs = 5000;
constexpr int kMessageBoxTextId = 0xFFFF;

LRESULT Send(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, LRESULT failed = 0) {
  DWORD_PTR result = 0;
  if (!SendMessageTimeoutW(hwnd, message, wParam, lParam, SMTO_ABORTIFHUNG, kSendTimeoutMs, &result)) {
    return failed;
  }
  return static_cast<LRESULT>(result);
}

HWND Control(HWND dialog, int id) { return dialog ? GetDlgItem(dialog, id) : nullptr; }

BOOL CALLBACK AddChild(HWND hwnd, LPARAM list) {
  reinterpret_cast<std::vector<HWND>*>(list)->push_back(hwnd);
  return TRUE;
}

std::vector<HWND> Children(HWND parent) {
  std::vector<HWND> children;
  EnumChildWindows(parent, AddChild, reinterpret_cast<LPARAM>(&children));
  return children;
}

struct WindowSearch {
  DWORD pid;
  std::vector<HWND> found;
};

BOOL CALLBACK AddVisibleWindowOfProcess(HWND hwnd, LPARAM param) {
  auto* search = reinterpret_cast<WindowSearch*>(param);
  DWORD owner = 0;
  GetWindowThreadProcessId(hwnd, &owner);
  if (owner == search->pid && IsWindowVisible(hwnd)) search->found.push_back(hwnd);
  return TRUE;
}

std::wstring EnvironmentVariable(const wchar_t* name) {
  const DWORD size = GetEnvironmentVariableW(name, nullptr, 0);
  if (size == 0) return {};
  std::wstring value(size, L'\0');
  value.resize(GetEnvironmentVariableW(name, &value[0], size));
  return value;
}

std::wstring VariableName(const std::wstring& entry) {
  // Entries such as "=C:=C:\dir" start with '=': their name runs to the second one.
  return entry.substr(0, entry.find(L'=', 1));
}

// The inherited environment with the extra entries, as a block for CreateProcessW. Windows
// expects the block sorted by name, without regard to case.
std::vector<wchar_t> EnvironmentBlock(const std::vector<std::wstring>& extra) {
  std::vector<std::wstring> entries;
  if (wchar_t* inherited = GetEnvironmentStringsW()) {
    for (const wchar_t* entry = inherited; *entry; entry += wcslen(entry) + 1) entries.emplace_back(entry);
    FreeEnvironmentStringsW(inherited);
  }
  for (const std::wstring& added : extra) {
    const std::wstring name = VariableName(added);
    entries.erase(std::remove_if(entries.begin(), entries.end(),
                                 [&](const std::wstring& entry) {
                                   return _wcsicmp(VariableName(entry).c_str(), name.c_str()) == 0;
                                 }),
                  entries.end());
    entries.push_back(added);
  }
  std::stable_sort(entries.begin(), entries.end(), [](const std::wstring& a, const std::wstring& b) {
    return _wcsicmp(VariableName(a).c_str(), VariableName(b).c_str()) < 0;
  });
  std::vector<wchar_t> block;
  for (const std::wstring& entry : entries) {
    block.insert(block.end(), entry.begin(), entry.end());
    block.push_back(L'\0');
  }
  block.push_back(L'\0');
  if (entries.empty()) block.push_back(L'\0');
  return block;
}

std::wstring ModulePath() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length = GetModuleFileNameW(nullptr, &path[0], static_cast<DWORD>(path.size()));
    if (length < path.size()) {
      path.resize(length);
      return path;
    }
    path.resize(path.size() * 2);
  }
}

std::wstring FullPath(const std::wstring& path) {
  const DWORD size = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
  if (size == 0) return path;
  std::wstring full(size, L'\0');
  full.resize(GetFullPathNameW(path.c_str(), size, &full[0], nullptr));
  return full;
}

// 32-bit pixels of a width x height bitmap, drawn by paint into a memory DC.
std::vector<DWORD> Pixels(int width, int height, const std::function<void(HDC)>& paint) {
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(info.bmiHeader);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  std::vector<DWORD> pixels;
  HDC memory = CreateCompatibleDC(nullptr);
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(memory, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (memory && bitmap) {
    HGDIOBJ old = SelectObject(memory, bitmap);
    paint(memory);
    GdiFlush();
    const DWORD* first = static_cast<const DWORD*>(bits);
    pixels.assign(first, first + width * height);
    for (DWORD& pixel : pixels) pixel &= 0xFFFFFF;  // the unused byte is not always zero
    SelectObject(memory, old);
  }
  if (bitmap) DeleteObject(bitmap);
  if (memory) DeleteDC(memory);
  return pixels;
}

std::vector<DWORD> ScreenPixels(const RECT& rect) {
  const int width = rect.right - rect.left;
  const int height = rect.bottom - rect.top;
  return Pixels(width, height, [&](HDC memory) {
    HDC screen = GetDC(nullptr);
    BitBlt(memory, 0, 0, width, height, screen, rect.left, rect.top, SRCCOPY);
    ReleaseDC(nullptr, screen);
  });
}

// The standard icon a message box's icon control shows, told by what is on the screen: icon
// handles belong to the box's process (ours from LoadIcon differ, and the icon behind a
// foreign handle cannot be read), so each standard icon is drawn here on the box's background
// and compared pixel by pixel. Polls briefly in case the box has not been painted yet.
int StandardIconShown(HWND iconControl) {
  struct Candidate {
    const wchar_t* resource;
    int icon;
  };
  const Candidate candidates[] = {{IDI_HAND, MB_ICONERROR},
                                  {IDI_EXCLAMATION, MB_ICONWARNING},
                                  {IDI_ASTERISK, MB_ICONINFORMATION},
                                  {IDI_QUESTION, MB_ICONQUESTION}};
  const RECT rect = WindowRectOf(iconControl);
  const int width = rect.right - rect.left;
  const int height = rect.bottom - rect.top;
  if (width <= 0 || height <= 0) return -1;
  int found = -1;
  WaitUntil(
      [&] {
        const std::vector<DWORD> shown = ScreenPixels(rect);
        if (shown.empty()) return false;
        // Standard icons are transparent in their corners, so the corner shows the background.
        const DWORD background = shown[0];  // 0x00RRGGBB, where a COLORREF is 0x00BBGGRR
        const COLORREF backgroundColour = RGB(GetBValue(background), GetGValue(background), GetRValue(background));
        for (const Candidate& candidate : candidates) {
          const std::vector<DWORD> drawn = Pixels(width, height, [&](HDC memory) {
            HBRUSH brush = CreateSolidBrush(backgroundColour);
            const RECT all = {0, 0, width, height};
            FillRect(memory, &all, brush);
            DeleteObject(brush);
            DrawIconEx(memory, 0, 0, LoadIconW(nullptr, candidate.resource), width, height, 0, nullptr, DI_NORMAL);
          });
          if (drawn.size() != shown.size()) continue;
          size_t differing = 0;
          for (size_t i = 0; i < shown.size(); ++i) differing += drawn[i] != shown[i];
          // Under Wine the shown icon matches exactly; the closest two standard icons
          // (information, question) still differ in about a sixth of their pixels.
          if (differing * 20 <= shown.size()) {
            found = candidate.icon;
            return true;
          }
        }
        return false;
      },
      kIconPaintTimeoutMs);
  return found;
}

int MessageBoxIcon(HWND box) {
  for (HWND child : Children(box)) {
    const LONG_PTR style = GetWindowLongPtrW(child, GWL_STYLE);
    if (ClassNameOf(child) != L"Static" || (style & SS_TYPEMASK) != SS_ICON) continue;
    if (!IsWindowVisible(child) || Send(child, STM_GETICON, 0, 0) == 0) return 0;
    return StandardIconShown(child);
  }
  return 0;
}

}  // namespace

bool WaitUntil(const std::function<bool()>& cond, DWORD timeoutMs) {
  const DWORD start = GetTickCount();
  for (;;) {
    if (cond()) return true;
    if (GetTickCount() - start >= timeoutMs) return false;
    Sleep(kPollMs);
  }
}

CProgram::~CProgram() { Close(); }

void CProgram::Close() {
  if (!m_process) return;
  if (IsRunning()) {
    TerminateProcess(m_process, 1);
    WaitForSingleObject(m_process, kTerminateTimeoutMs);
  }
  CloseHandle(m_process);
  m_process = nullptr;
  m_pid = 0;
}

bool CProgram::Start(const std::wstring& arguments, WORD showCommand,
                     const std::vector<std::wstring>& extraEnvironment) {
  Close();
  const std::wstring path = ProgramPath();
  std::wstring commandLine = L"\"" + path + L"\"";
  if (!arguments.empty()) commandLine += L" " + arguments;
  std::vector<wchar_t> writableCommandLine(commandLine.begin(), commandLine.end());
  writableCommandLine.push_back(L'\0');

  std::vector<wchar_t> environment;
  if (!extraEnvironment.empty()) environment = EnvironmentBlock(extraEnvironment);

  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = showCommand;
  PROCESS_INFORMATION process{};
  // Under Wine the call returns once the new process has been through Wine's own start-up,
  // before any code of the program runs (not even its static constructors). Error 1359
  // (ERROR_INTERNAL_ERROR) means the process ended inside that start-up: nothing of the journey
  // has happened yet, so the start is simply made again, as a user would, and said on stderr.
  // Seen about once in a thousand starts on a busy machine, with nothing killing processes.
  constexpr int kAttempts = 3;
  for (int attempt = 1;; ++attempt) {
    const DWORD started = GetTickCount();
    if (CreateProcessW(path.c_str(), writableCommandLine.data(), nullptr, nullptr, FALSE, CREATE_UNICODE_ENVIRONMENT,
                       environment.empty() ? nullptr : environment.data(), nullptr, &startup, &process)) {
      break;
    }
    const DWORD error = GetLastError();
    std::fprintf(stderr, "CProgram::Start: CreateProcessW failed with error %lu after %lu ms (attempt %d)\n", error,
                 GetTickCount() - started, attempt);
    if (error != ERROR_INTERNAL_ERROR || attempt == kAttempts) return false;
  }
  CloseHandle(process.hThread);
  m_process = process.hProcess;
  m_pid = process.dwProcessId;
  return true;
}

bool CProgram::WaitExit(DWORD timeoutMs, DWORD* exitCode) {
  if (!m_process || WaitForSingleObject(m_process, timeoutMs) != WAIT_OBJECT_0) return false;
  DWORD code = 0;
  if (!GetExitCodeProcess(m_process, &code)) return false;
  if (exitCode) *exitCode = code;
  return true;
}

bool CProgram::IsRunning() const { return m_process && WaitForSingleObject(m_process, 0) == WAIT_TIMEOUT; }

std::wstring CProgram::ProgramPath() {
  std::wstring chosen = EnvironmentVariable(L"LV_PROGRAM");
  if (!chosen.empty()) return chosen;
  const std::wstring self = ModulePath();
  const std::wstring folder = self.substr(0, self.find_last_of(L"\\/") + 1);
  return FullPath(folder + L"..\\..\\utility\\Lockvale.exe");
}

std::vector<HWND> TopWindows(DWORD pid) {
  WindowSearch search{pid, {}};
  EnumWindows(AddVisibleWindowOfProcess, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

HWND WaitForWindow(DWORD pid, const std::function<bool(HWND)>& pred, DWORD timeoutMs) {
  HWND found = nullptr;
  WaitUntil(
      [&] {
        for (HWND hwnd : TopWindows(pid)) {
          if (pred(hwnd)) {
            found = hwnd;
            return true;
          }
        }
        return false;
      },
      timeoutMs);
  return found;
}

std::wstring WindowText(HWND hwnd) {
  if (!hwnd) return {};
  const LRESULT length = Send(hwnd, WM_GETTEXTLENGTH, 0, 0);
  if (length <= 0) return {};
  std::wstring text(static_cast<size_t>(length) + 1, L'\0');
  const LRESULT copied = Send(hwnd, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(&text[0]));
  text.resize(static_cast<size_t>(std::clamp<LRESULT>(copied, 0, length)));
  return text;
}

std::wstring ClassNameOf(HWND hwnd) {
  wchar_t name[256] = L"";
  const int length = GetClassNameW(hwnd, name, 256);
  return std::wstring(name, length > 0 ? static_cast<size_t>(length) : 0);
}

std::wstring ControlText(HWND dialog, int id) { return WindowText(Control(dialog, id)); }

bool HasControl(HWND dialog, int id) { return Control(dialog, id) != nullptr; }

bool IsControlVisible(HWND dialog, int id) {
  HWND control = Control(dialog, id);
  return control && IsWindowVisible(control);
}

bool IsControlEnabled(HWND dialog, int id) {
  HWND control = Control(dialog, id);
  return control && IsWindowEnabled(control);
}

RECT WindowRectOf(HWND hwnd) {
  RECT rect{};
  GetWindowRect(hwnd, &rect);
  return rect;
}

void Click(HWND dialog, int id) {
  PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(Control(dialog, id)));
}

void SetControlText(HWND dialog, int id, const std::wstring& text) {
  if (HWND control = Control(dialog, id)) Send(control, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

std::vector<std::wstring> ComboItems(HWND dialog, int id) {
  std::vector<std::wstring> items;
  HWND combo = Control(dialog, id);
  if (!combo) return items;
  // The program may rebuild its list between two of our messages, so an item can be longer
  // than its length said a moment before; CB_GETLBTEXT takes no buffer size, so the buffer is
  // sized for any item rather than for the one measured.
  constexpr size_t kItemCapacity = 1 << 16;
  std::wstring buffer(kItemCapacity, L'\0');
  const LRESULT count = Send(combo, CB_GETCOUNT, 0, 0, CB_ERR);
  for (LRESULT i = 0; i < count; ++i) {
    const LRESULT length = Send(combo, CB_GETLBTEXTLEN, static_cast<WPARAM>(i), 0, CB_ERR);
    if (length < 0 || static_cast<size_t>(length) >= kItemCapacity) {
      items.emplace_back();
      continue;
    }
    const LRESULT copied =
        Send(combo, CB_GETLBTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&buffer[0]), CB_ERR);
    items.emplace_back(buffer.c_str(), static_cast<size_t>(std::clamp<LRESULT>(copied, 0, kItemCapacity - 1)));
  }
  return items;
}

int ComboSelection(HWND dialog, int id) {
  HWND combo = Control(dialog, id);
  return combo ? static_cast<int>(Send(combo, CB_GETCURSEL, 0, 0, CB_ERR)) : CB_ERR;
}

void SelectComboItem(HWND dialog, int id, int index) {
  HWND combo = Control(dialog, id);
  if (!combo) return;
  Send(combo, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
  PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, CBN_SELCHANGE), reinterpret_cast<LPARAM>(combo));
}

bool IsChecked(HWND dialog, int id) {
  HWND box = Control(dialog, id);
  return box && Send(box, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void ClickCheckBox(HWND dialog, int id) {
  if (HWND box = Control(dialog, id)) PostMessageW(box, BM_CLICK, 0, 0);
}

bool IsMessageBox(HWND hwnd) {
  if (!IsWindowVisible(hwnd) || ClassNameOf(hwnd) != L"#32770") return false;
  HWND text = GetDlgItem(hwnd, kMessageBoxTextId);
  if (!text || ClassNameOf(text) != L"Static") return false;
  // Our own dialogs may carry a label with id 0xFFFF (-1 in a DIALOG template) as well; what
  // sets a message box apart is that it holds nothing else than statics and its buttons.
  for (HWND child : Children(hwnd)) {
    const std::wstring className = ClassNameOf(child);
    const int id = GetDlgCtrlID(child);
    const bool answerButton = className == L"Button" && id >= IDOK && id <= IDCONTINUE;
    if (className != L"Static" && !answerButton) return false;
  }
  return true;
}

MessageBoxInfo WaitForMessageBox(DWORD pid, DWORD timeoutMs) {
  MessageBoxInfo info;
  info.hwnd = WaitForWindow(pid, IsMessageBox, timeoutMs);
  if (!info.hwnd) return info;
  info.caption = WindowText(info.hwnd);
  info.text = ControlText(info.hwnd, kMessageBoxTextId);
  info.hasCancel = IsControlVisible(info.hwnd, IDCANCEL);
  info.icon = MessageBoxIcon(info.hwnd);
  return info;
}

bool AnswerMessageBox(const MessageBoxInfo& box, int buttonId) {
  if (!box.hwnd) return false;
  Click(box.hwnd, buttonId);
  // A closed box may keep its handle a while under Wine, hidden: visibility is what counts.
  return WaitUntil([&] { return !IsWindowVisible(box.hwnd); }, kBoxCloseTimeoutMs);
}

bool NoMessageBox(DWORD pid) {
  const std::vector<HWND> windows = TopWindows(pid);
  return std::none_of(windows.begin(), windows.end(), IsMessageBox);
}

namespace {

constexpr DWORD kForegroundTimeoutMs = 5000;

void SendKeyEvent(WORD virtualKey, wchar_t character, DWORD flags) {
  INPUT input{};
  input.type = INPUT_KEYBOARD;
  input.ki.wVk = virtualKey;
  input.ki.wScan = character;
  input.ki.dwFlags = flags;
  SendInput(1, &input, sizeof input);
}

}  // namespace

bool MakeForeground(HWND window) {
  return WaitUntil(
      [window] {
        if (GetForegroundWindow() == window) return true;
        SetForegroundWindow(window);
        return false;
      },
      kForegroundTimeoutMs);
}

void PressKey(WORD virtualKey) {
  SendKeyEvent(virtualKey, 0, 0);
  SendKeyEvent(virtualKey, 0, KEYEVENTF_KEYUP);
}

void PressChord(WORD modifier, WORD key) {
  SendKeyEvent(modifier, 0, 0);
  PressKey(key);
  SendKeyEvent(modifier, 0, KEYEVENTF_KEYUP);
}

void TypeText(const std::wstring& text) {
  for (const wchar_t character : text) {
    SendKeyEvent(0, character, KEYEVENTF_UNICODE);
    SendKeyEvent(0, character, KEYEVENTF_UNICODE | KEYEVENTF_KEYUP);
  }
}

HWND FocusedWindow(HWND window) {
  GUITHREADINFO info{};
  info.cbSize = sizeof info;
  return GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info) ? info.hwndFocus : nullptr;
}

bool WaitForFocusIn(HWND window, DWORD timeoutMs) {
  return WaitUntil(
      [window] {
        HWND focus = FocusedWindow(window);
        return focus == window || IsChild(window, focus);
      },
      timeoutMs);
}

bool WaitForFocusOn(HWND dialog, int id, DWORD timeoutMs) {
  return WaitUntil([dialog, id] { return FocusedWindow(dialog) == GetDlgItem(dialog, id); }, timeoutMs);
}
