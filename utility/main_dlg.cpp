// The start window and the About box.
#include "utility/main_dlg.h"

#include "framework/app_module.h"
#include "framework/display_scale.h"
#include "framework/window_placement.h"
#include "utility/page_flow.h"
#include "utility/wizard.h"

namespace {

HICON LoadProgramIcon(int id, int width, int height) {
  return static_cast<HICON>(
      ::LoadImageW(g_appModule.GetModuleInstance(), MAKEINTRESOURCEW(id), IMAGE_ICON, width, height, 0));
}

}  // namespace

CMainDlg::~CMainDlg() {
  for (HFONT font : {m_hHeadingFont, m_hLabelFont}) {
    if (font != nullptr) ::DeleteObject(font);
  }
  for (HICON icon : {m_hIconBig, m_hIconSmall, m_hCreateIcon, m_hMountIcon, m_hDisconnectIcon}) {
    if (icon != nullptr) ::DestroyIcon(icon);
  }
}

BOOL CMainDlg::ProcessWindowMessage(HWND, UINT uMsg, WPARAM wParam, LPARAM, LRESULT& lResult) {
  switch (uMsg) {
    case WM_INITDIALOG:
      OnInitDialog();
      lResult = TRUE;
      return TRUE;
    case WM_COMMAND:
      OnCommand(LOWORD(wParam));
      return TRUE;
    case WM_DESTROY:
      if (CMessageLoop* loop = g_appModule.GetMessageLoop()) {
        loop->RemoveMessageFilter(this);
        loop->RemoveIdleHandler(this);
      }
      return FALSE;
    default:
      return FALSE;
  }
}

void CMainDlg::OnInitDialog() {
  CenterInWorkArea(m_hWnd);

  m_hIconBig = LoadProgramIcon(IDI_LOCKVALE, ::GetSystemMetrics(SM_CXICON), ::GetSystemMetrics(SM_CYICON));
  ::SendMessageW(m_hWnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_hIconBig));
  m_hIconSmall = LoadProgramIcon(IDI_LOCKVALE, ::GetSystemMetrics(SM_CXSMICON), ::GetSystemMetrics(SM_CYSMICON));
  ::SendMessageW(m_hWnd, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(m_hIconSmall));

  m_ctlHeading = GetDlgItem(IDC_HEADING);
  m_ctlCreate = GetDlgItem(IDC_CREATE);
  m_ctlMount = GetDlgItem(IDC_MOUNT);
  m_ctlDisconnect = GetDlgItem(IDC_DISCONNECT);
  m_ctlCreateLabel = GetDlgItem(IDC_CREATE_LABEL);
  m_ctlMountLabel = GetDlgItem(IDC_MOUNT_LABEL);
  m_ctlDisconnectLabel = GetDlgItem(IDC_DISCONNECT_LABEL);
  m_ctlAbout = GetDlgItem(ID_APP_ABOUT);
  m_ctlOk = GetDlgItem(IDOK);
  m_ctlExit = GetDlgItem(IDCANCEL);

  if (CMessageLoop* loop = g_appModule.GetMessageLoop()) {
    loop->AddMessageFilter(this);
    loop->AddIdleHandler(this);
  }
  UIAddChildWindowContainer(m_hWnd);

  m_hHeadingFont = CreateScaledFont(L"Arial", 20, FW_BOLD);
  ::SendMessageW(m_ctlHeading, WM_SETFONT, reinterpret_cast<WPARAM>(m_hHeadingFont), TRUE);
  m_hLabelFont = CreateScaledFont(L"Arial", 18, FW_MEDIUM);
  for (HWND label : {m_ctlCreateLabel, m_ctlMountLabel, m_ctlDisconnectLabel}) {
    ::SendMessageW(label, WM_SETFONT, reinterpret_cast<WPARAM>(m_hLabelFont), TRUE);
  }

  const int size = ::GetSystemMetrics(SM_CXICON);
  m_hCreateIcon = LoadProgramIcon(IDI_CREATE, size, size);
  m_hMountIcon = LoadProgramIcon(IDI_MOUNT, size, size);
  m_hDisconnectIcon = LoadProgramIcon(IDI_DISCONNECT, size, size);
  ::SendMessageW(m_ctlCreate, BM_SETIMAGE, IMAGE_ICON, reinterpret_cast<LPARAM>(m_hCreateIcon));
  ::SendMessageW(m_ctlMount, BM_SETIMAGE, IMAGE_ICON, reinterpret_cast<LPARAM>(m_hMountIcon));
  ::SendMessageW(m_ctlDisconnect, BM_SETIMAGE, IMAGE_ICON, reinterpret_cast<LPARAM>(m_hDisconnectIcon));
}

void CMainDlg::OnCommand(WORD id) {
  switch (id) {
    case IDC_CREATE:
      StartCreateWizard(DefaultNewDiskPath().c_str(), 0);
      break;
    case IDC_MOUNT:
      StartMountWizard(nullptr, 0);
      break;
    case IDC_DISCONNECT:
      StartUnmountWizard(nullptr, 0);
      break;
    case ID_APP_ABOUT: {
      CAboutDlg about;
      about.DoModal(::GetActiveWindow());
      break;
    }
    case IDOK:
    case IDCANCEL:
      DestroyWindow();
      EndProgram(id);  // once no box of a wizard beside it is open any more
      break;
    default:
      break;
  }
}

BOOL CAboutDlg::ProcessWindowMessage(HWND, UINT uMsg, WPARAM wParam, LPARAM, LRESULT& lResult) {
  switch (uMsg) {
    case WM_INITDIALOG:
      CenterOverWindow(m_hWnd, ::GetParent(m_hWnd));
      lResult = TRUE;
      return TRUE;
    case WM_COMMAND:
      if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
        EndDialog(LOWORD(wParam));
        return TRUE;
      }
      return FALSE;
    default:
      return FALSE;
  }
}
