// The three context-menu handlers: Mount for disk files, Unmount for drives that are mounted
// virtual disks, Create on the background of a folder. Each adds one item whose click starts
// the program with its switch.
#pragma once

#include <windows.h>
#include <shlobj.h>

#include "framework/com_object.h"
#include "shellext/class_ids.h"
#include "shellext/status_client.h"
#include "shellext/zel_base.h"

// For ".zel" files: offers to mount the first selected file.
class CMount : public CComObjectRootEx<CComSingleThreadModel>,
               public CComCoClass<CMount, &CLSID_Mount>,
               public CZelBase,
               public IShellExtInit,
               public IContextMenu {
 public:
  HRESULT InternalQueryInterface(REFIID riid, void** ppv) {
    return QueryInterfaceFrom<IShellExtInit, IContextMenu>(this, riid, ppv);
  }

  HRESULT STDMETHODCALLTYPE Initialize(PCIDLIST_ABSOLUTE pidlFolder, IDataObject* pdtobj, HKEY hkeyProgID) override;

  HRESULT STDMETHODCALLTYPE QueryContextMenu(HMENU hmenu, UINT indexMenu, UINT idCmdFirst, UINT idCmdLast,
                                             UINT uFlags) override;
  HRESULT STDMETHODCALLTYPE InvokeCommand(CMINVOKECOMMANDINFO* pici) override;
  HRESULT STDMETHODCALLTYPE GetCommandString(UINT_PTR idCmd, UINT uType, UINT* pReserved, CHAR* pszName,
                                             UINT cchMax) override;

 private:
  CServiceStatusClient m_service;
  wchar_t m_szFile[MAX_PATH + 1] = {};  // the selected disk file
};

// For drives: offers to unmount a drive that the service reports as a mounted virtual disk.
class CUnmount : public CComObjectRootEx<CComSingleThreadModel>,
                 public CComCoClass<CUnmount, &CLSID_Unmount>,
                 public CZelBase,
                 public IShellExtInit,
                 public IContextMenu {
 public:
  HRESULT InternalQueryInterface(REFIID riid, void** ppv) {
    return QueryInterfaceFrom<IShellExtInit, IContextMenu>(this, riid, ppv);
  }

  HRESULT STDMETHODCALLTYPE Initialize(PCIDLIST_ABSOLUTE pidlFolder, IDataObject* pdtobj, HKEY hkeyProgID) override;

  HRESULT STDMETHODCALLTYPE QueryContextMenu(HMENU hmenu, UINT indexMenu, UINT idCmdFirst, UINT idCmdLast,
                                             UINT uFlags) override;
  HRESULT STDMETHODCALLTYPE InvokeCommand(CMINVOKECOMMANDINFO* pici) override;
  HRESULT STDMETHODCALLTYPE GetCommandString(UINT_PTR idCmd, UINT uType, UINT* pReserved, CHAR* pszName,
                                             UINT cchMax) override;

 private:
  wchar_t m_szDrive[MAX_PATH] = {};  // the drive as the shell names it: E: or E:\ (a root)
};

// For the background of a folder: offers a new disk file in that folder.
class CCreate : public CComObjectRootEx<CComSingleThreadModel>,
                public CComCoClass<CCreate, &CLSID_Create>,
                public CZelBase,
                public IShellExtInit,
                public IContextMenu {
 public:
  HRESULT InternalQueryInterface(REFIID riid, void** ppv) {
    return QueryInterfaceFrom<IShellExtInit, IContextMenu>(this, riid, ppv);
  }

  HRESULT STDMETHODCALLTYPE Initialize(PCIDLIST_ABSOLUTE pidlFolder, IDataObject* pdtobj, HKEY hkeyProgID) override;

  HRESULT STDMETHODCALLTYPE QueryContextMenu(HMENU hmenu, UINT indexMenu, UINT idCmdFirst, UINT idCmdLast,
                                             UINT uFlags) override;
  HRESULT STDMETHODCALLTYPE InvokeCommand(CMINVOKECOMMANDINFO* pici) override;
  HRESULT STDMETHODCALLTYPE GetCommandString(UINT_PTR idCmd, UINT uType, UINT* pReserved, CHAR* pszName,
                                             UINT cchMax) override;

 private:
  CServiceStatusClient m_service;
  wchar_t m_szFile[MAX_PATH + 1] = {};  // the proposed new disk file
};
