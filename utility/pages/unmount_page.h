// The Disconnect page: one mounted disk given by its drive letter, or the list of all of them.
#pragma once

#include <string>

#include "common/disk_service_client.h"
#include "common/mount_list.h"
#include "utility/res/resource.h"
#include "utility/wizard_page.h"

class CUnmountDrvDlg : public CWizardPage<CUnmountDrvDlg> {
 public:
  enum { IDD = IDD_UNMOUNT_DRIVE };
  // drive: a text whose first letter names the drive (e, E:, E:\...); anything else, or
  // nothing, asks for the list of all mounted disks.
  CUnmountDrvDlg(const wchar_t* drive, int bStandalone);

  void OnInitPage();
  BOOL OnCommand(WORD id, WORD code);
  template <class F>
  void ForEachLink(F) {}  // a wizard of one page

  std::wstring m_strFixedDrive;
  MountSlots m_slots;
  CDiskServiceClient m_service;
  HWND m_ctlMountedEntry = nullptr;
  HWND m_ctlDrive = nullptr;
  HWND m_ctlBack = nullptr;
  HWND m_ctlFinish = nullptr;
  HWND m_ctlCancel = nullptr;

 private:
  // Asks the service for the mounted disks afresh.
  void RefreshSlots();
  // Shows the slots: the list of disks, or one line in the read-only box.
  void ShowSlots();
  void OnUnmount();
};
