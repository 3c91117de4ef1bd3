// Dialog windows made from dialog templates.
#include "framework/dialog_impl.h"

#include "framework/app_module.h"

HWND CDialogBase::CreateFromTemplate(int templateId, HWND hWndParent) {
  return ::CreateDialogParamW(g_appModule.GetModuleInstance(), MAKEINTRESOURCEW(templateId), hWndParent,
                              DialogProc, reinterpret_cast<LPARAM>(this));
}

INT_PTR CDialogBase::RunModal(int templateId, HWND hWndParent) {
  return ::DialogBoxParamW(g_appModule.GetModuleInstance(), MAKEINTRESOURCEW(templateId), hWndParent,
                           DialogProc, reinterpret_cast<LPARAM>(this));
}

INT_PTR CALLBACK CDialogBase::DialogProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam) {
  auto* self = reinterpret_cast<CDialogBase*>(::GetWindowLongPtrW(hWnd, DWLP_USER));
  if (uMsg == WM_INITDIALOG) {
    self = reinterpret_cast<CDialogBase*>(lParam);
    self->m_hWnd = hWnd;
    ::SetWindowLongPtrW(hWnd, DWLP_USER, lParam);
  }
  if (self == nullptr) return FALSE;  // the few messages before WM_INITDIALOG

  LRESULT lResult = 0;
  const BOOL handled = self->ProcessWindowMessage(hWnd, uMsg, wParam, lParam, lResult);

  if (uMsg == WM_NCDESTROY) {
    ::SetWindowLongPtrW(hWnd, DWLP_USER, 0);
    self->m_hWnd = nullptr;
    self->OnFinalMessage(hWnd);  // may delete the object: nothing touches it afterwards
    return handled;
  }
  if (!handled) return FALSE;
  switch (uMsg) {
    // These return their result directly instead of through DWLP_MSGRESULT.
    case WM_INITDIALOG:
    case WM_COMPAREITEM:
    case WM_VKEYTOITEM:
    case WM_CHARTOITEM:
    case WM_QUERYDRAGICON:
    case WM_CTLCOLORMSGBOX:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSCROLLBAR:
    case WM_CTLCOLORSTATIC:
      return static_cast<INT_PTR>(lResult);
    default:
      ::SetWindowLongPtrW(hWnd, DWLP_MSGRESULT, lResult);
      return TRUE;
  }
}
