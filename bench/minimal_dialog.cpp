// The floor for a dialog program's start: a modeless dialog from a template, shown, and a
// message loop; nothing else. The bench starts it alternately with Lockvale.exe.
#include <windows.h>

#include "bench/minimal_dialog_res.h"

namespace {

INT_PTR CALLBACK DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG:
      return TRUE;
    case WM_COMMAND:
      if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
        DestroyWindow(dialog);
        PostQuitMessage(LOWORD(wParam));
        return TRUE;
      }
      return FALSE;
    case WM_CLOSE:
      DestroyWindow(dialog);
      PostQuitMessage(IDCANCEL);
      return TRUE;
    default:
      return FALSE;
  }
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, LPWSTR, int showCommand) {
  HWND dialog = CreateDialogParamW(instance, MAKEINTRESOURCEW(IDD_MINIMAL), nullptr, DialogProc, 0);
  if (dialog == nullptr) return 1;
  ShowWindow(dialog, showCommand);
  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    if (!IsDialogMessageW(dialog, &msg)) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
  }
  return static_cast<int>(msg.wParam);
}
