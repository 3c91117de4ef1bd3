// The handlers' shared base: program lookup, menu item, help text, program start.
#include "shellext/zel_base.h"

#include <shellapi.h>

#include <string>
#include <vector>

#include "common/wide.h"
#include "shellext/handler_rules.h"

namespace {

// The default value of the open command, when it is a plain string; empty otherwise.
std::wstring ReadOpenCommand() {
  HKEY key = nullptr;
  if (::RegOpenKeyExW(HKEY_CLASSES_ROOT, W(kProgramCommandKey), 0, KEY_READ, &key) != ERROR_SUCCESS) return {};
  std::wstring command;
  DWORD type = 0;
  DWORD size = 0;
  // Only REG_SZ counts: an expandable string would need variables expanded that we never expand.
  if (::RegQueryValueExW(key, nullptr, nullptr, &type, nullptr, &size) == ERROR_SUCCESS && type == REG_SZ) {
    std::vector<wchar_t> buffer(size / sizeof(wchar_t) + 1, L'\0');
    DWORD bytes = size;
    if (::RegQueryValueExW(key, nullptr, nullptr, nullptr, reinterpret_cast<BYTE*>(buffer.data()), &bytes) ==
        ERROR_SUCCESS) {
      command = buffer.data();  // up to the first NUL
    }
  }
  ::RegCloseKey(key);
  return command;
}

}  // namespace

CZelBase::CZelBase() : m_szProgram() {
  try {
    const std::u16string program = ProgramFromCommand(U16(ReadOpenCommand()));
    program.copy(reinterpret_cast<char16_t*>(m_szProgram), program.size());
    m_szProgram[program.size()] = L'\0';
  } catch (...) {
    m_szProgram[0] = L'\0';  // out of memory: no program, so a click starts nothing
  }
}

HRESULT CZelBase::ReadFirstFile(IDataObject* pdtobj, wchar_t* buffer, UINT capacity) {
  if (pdtobj == nullptr) return E_INVALIDARG;
  FORMATETC format = {CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
  STGMEDIUM medium = {};
  if (FAILED(pdtobj->GetData(&format, &medium))) return E_INVALIDARG;
  HRESULT hr = E_INVALIDARG;
  HDROP drop = medium.tymed == TYMED_HGLOBAL ? static_cast<HDROP>(::GlobalLock(medium.hGlobal)) : nullptr;
  if (drop != nullptr) {
    // Only the first file counts, however many are selected; one that does not fit whole is
    // refused rather than cut to a path that names another file. A shell that answers with the
    // characters it copied already fails the last comparison for a cut path, but not every
    // shell does: some answer with the whole length even when they cut, so the length is
    // measured against the buffer first.
    if (::DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0) > 0) {
      const UINT length = ::DragQueryFileW(drop, 0, nullptr, 0);
      if (length > 0 && length < capacity && ::DragQueryFileW(drop, 0, buffer, capacity) == length) hr = S_OK;
    }
    ::GlobalUnlock(medium.hGlobal);
  }
  ::ReleaseStgMedium(&medium);
  return hr;
}

HRESULT CZelBase::AddMenuItem(HMENU hmenu, UINT indexMenu, UINT idCmdFirst, UINT uFlags,
                              const HandlerTexts& texts) const {
  if (uFlags & CMF_DEFAULTONLY) return MAKE_HRESULT(SEVERITY_SUCCESS, 0, 0);
  ::InsertMenuW(hmenu, indexMenu, MF_BYPOSITION | MF_STRING, idCmdFirst, W(texts.menu));
  return MAKE_HRESULT(SEVERITY_SUCCESS, 0, 1);  // one command id used
}

HRESULT CZelBase::CopyHelpText(UINT_PTR idCmd, UINT uType, LPSTR pszName, UINT cchMax,
                               const HandlerTexts& texts) const {
  if (idCmd != 0) return E_INVALIDARG;
  const HelpTextForm form = HelpTextFormFor(uType);
  if (form == HelpTextForm::Refused || (pszName == nullptr && cchMax > 0)) return E_INVALIDARG;
  if (form == HelpTextForm::Wide) {
    ::lstrcpynW(reinterpret_cast<LPWSTR>(pszName), W(texts.help), static_cast<int>(cchMax));
    return S_OK;
  }
  char ansi[256] = {};
  ::WideCharToMultiByte(CP_THREAD_ACP, 0, W(texts.help), -1, ansi, sizeof ansi, nullptr, nullptr);
  ::lstrcpynA(pszName, ansi, static_cast<int>(cchMax));
  return S_OK;
}

HRESULT CZelBase::StartProgram(const CMINVOKECOMMANDINFO* pici, const HandlerTexts& texts,
                               const wchar_t* argument) const {
  if (pici == nullptr) return E_INVALIDARG;
  // A verb string is a pointer, an integer verb a command offset below 0x10000; our one item has
  // offset 0, so nothing else is ours.
  if (reinterpret_cast<ULONG_PTR>(pici->lpVerb) != 0) return E_INVALIDARG;
  if (m_szProgram[0] == L'\0') return E_INVALIDARG;
  const std::wstring parameters = WStr(ParameterText(texts.commandSwitch, U16(argument)));
  // Whether the start succeeds is not the shell's concern: it has nothing to show for it.
  ::ShellExecuteW(nullptr, L"open", m_szProgram, parameters.c_str(), nullptr, SW_SHOWNORMAL);
  return S_OK;
}
