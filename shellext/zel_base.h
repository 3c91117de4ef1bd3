// What the three context-menu handlers share: the program they start, found afresh for every
// handler object, and the menu item, help text and program start that differ only in texts.
#pragma once

#include <windows.h>
#include <shlobj.h>

#include "shellext/texts.h"

class CZelBase {
 public:
  CZelBase();

 protected:
  // The first entry of the data object's file list, read whole into buffer; E_INVALIDARG when
  // there is no file list, it is empty, or the entry does not fit.
  static HRESULT ReadFirstFile(IDataObject* pdtobj, wchar_t* buffer, UINT capacity);

  HRESULT AddMenuItem(HMENU hmenu, UINT indexMenu, UINT idCmdFirst, UINT uFlags, const HandlerTexts& texts) const;
  HRESULT CopyHelpText(UINT_PTR idCmd, UINT uType, LPSTR pszName, UINT cchMax, const HandlerTexts& texts) const;
  HRESULT StartProgram(const CMINVOKECOMMANDINFO* pici, const HandlerTexts& texts, const wchar_t* argument) const;

  wchar_t m_szProgram[MAX_PATH];  // empty when the open command gives no program
};
