// System DLLs loaded on first use: the function found is the system's own, and nothing but the
// system folder is searched; and the program's narrowed search for the DLLs the system loads.
#include "framework/system_library.h"

#include <commdlg.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "tests/win/test_paths.h"

namespace {

std::wstring ModuleFolderOf(const void* address) {
  HMODULE module = nullptr;
  GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                     static_cast<LPCWSTR>(address), &module);
  wchar_t path[MAX_PATH] = {};
  GetModuleFileNameW(module, path, MAX_PATH);
  std::wstring folder(path);
  folder.resize(folder.find_last_of(L'\\'));
  return folder;
}

std::wstring Lower(std::wstring text) {
  for (wchar_t& c : text) c = static_cast<wchar_t>(towlower(c));
  return text;
}

TEST(SystemLibrary, FindsTheSystemsOwnFunctionAndNothingElse) {
  const auto getOpenFileName = SystemProc<decltype(&::GetOpenFileNameW)>(L"comdlg32.dll", "GetOpenFileNameW");
  ASSERT_NE(getOpenFileName, nullptr);
  wchar_t system[MAX_PATH] = {};
  GetSystemDirectoryW(system, MAX_PATH);
  EXPECT_EQ(Lower(ModuleFolderOf(reinterpret_cast<const void*>(getOpenFileName))), Lower(system));
  // Asked again, the same address (the library stays loaded).
  EXPECT_EQ(SystemProc<decltype(&::GetOpenFileNameW)>(L"comdlg32.dll", "GetOpenFileNameW"), getOpenFileName);

  EXPECT_EQ(SystemProcAddress(L"comdlg32.dll", "NoSuchFunctionAnywhere"), nullptr);
  EXPECT_EQ(SystemProcAddress(L"lv-no-such-library.dll", "DllCanUnloadNow"), nullptr);
}

TEST(SystemLibrary, ADllBesideTheProgramIsNotTaken) {
  // A DLL planted next to the program under a name the system folder does not have.
  const std::wstring planted = PathBesideProgram(L"lv-planted.dll");
  ASSERT_TRUE(CopyFileW(PathBesideProgram(L"..\\..\\shellext\\ZelToolExt.dll").c_str(), planted.c_str(), FALSE));
  EXPECT_EQ(SystemProcAddress(L"lv-planted.dll", "DllCanUnloadNow"), nullptr);
  EXPECT_EQ(GetModuleHandleW(L"lv-planted.dll"), nullptr);
  DeleteFileW(planted.c_str());
}

TEST(SystemLibrary, ANarrowedSearchNoLongerFindsADllBesideTheProgram) {
  const std::wstring planted = PathBesideProgram(L"lv-planted.dll");
  ASSERT_TRUE(CopyFileW(PathBesideProgram(L"..\\..\\shellext\\ZelToolExt.dll").c_str(), planted.c_str(), FALSE));
  // Found by its bare name at first: the program's folder is searched.
  HMODULE found = LoadLibraryW(L"lv-planted.dll");
  EXPECT_NE(found, nullptr);
  if (found != nullptr) FreeLibrary(found);
  // The search is the whole process's, so it is narrowed in a process of its own; system DLLs
  // are still found by name.
  EXPECT_EXIT(
      {
        RestrictDllSearch();
        const HMODULE plantedAfter = LoadLibraryW(L"lv-planted.dll");
        const HMODULE system = LoadLibraryW(L"comdlg32.dll");
        std::exit(plantedAfter == nullptr && system != nullptr ? 0 : 1);
      },
      ::testing::ExitedWithCode(0), "");
  DeleteFileW(planted.c_str());
}

}  // namespace
