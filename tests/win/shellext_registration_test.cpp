// ZelToolExt.dll registering itself, per machine and per user: the keys and values it writes,
// what a second registration and an unregistration leave behind, and the switches of DllInstall.
#include <windows.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "tests/win/shellext_host.h"

namespace {

struct ClassKeys {
  const wchar_t* clsid;
  const wchar_t* description;
  const wchar_t* handler;
};
const ClassKeys kClasses[] = {
    {L"{204943C0-289A-464A-8C9C-99B5805350B0}", L"Create Class",
     L"Directory\\Background\\ShellEx\\ContextMenuHandlers\\ZelToolExt_Create"},
    {L"{4FFECA33-2F96-4BFC-A6CC-D1F07EC3AC5B}", L"Mount Class", L"zelfile\\ShellEx\\ContextMenuHandlers\\ZelToolExt_Mount"},
    {L"{E8045B1D-ECEA-4B1A-8D1E-925ECAFDA9EA}", L"Unmount Class",
     L"Drive\\ShellEx\\ContextMenuHandlers\\ZelToolExt_Unmount"},
};
const std::wstring kTypeLib = L"TypeLib\\{067DD4F8-3E45-4646-9656-7313E9148FFE}";
const std::wstring kClassesBelow = L"Software\\Classes\\";  // of the user, or of the machine

std::wstring ClassKey(const ClassKeys& entry) { return std::wstring(L"CLSID\\") + entry.clsid; }

// Where a scope's registration lives: the classes root per machine, the user's classes per user.
struct Place {
  HKEY root;
  std::wstring prefix;
};
const Place kMachine{HKEY_CLASSES_ROOT, L""};
const Place kUser{HKEY_CURRENT_USER, kClassesBelow};

void RemoveEverything() {
  for (const Place& place : {kMachine, kUser}) {
    for (const ClassKeys& entry : kClasses) {
      DeleteTree(place.root, place.prefix + ClassKey(entry));
      DeleteTree(place.root, place.prefix + entry.handler);
    }
    DeleteTree(place.root, place.prefix + L".zel");
    DeleteTree(place.root, place.prefix + kTypeLib);
  }
}

class ShellextRegistration : public ::testing::Test {
 protected:
  void SetUp() override {
    RemoveEverything();
    ASSERT_TRUE(host->Loaded());
  }
  void TearDown() override {
    host.reset();
    RemoveEverything();
  }

  void ExpectRegistered(const Place& place) {
    for (const ClassKeys& entry : kClasses) {
      const std::wstring classKey = place.prefix + ClassKey(entry);
      SCOPED_TRACE(Utf8(classKey));
      EXPECT_EQ(ReadString(place.root, classKey), std::wstring(entry.description));
      EXPECT_EQ(ReadString(place.root, classKey + L"\\InprocServer32"), host->ModulePath());
      EXPECT_EQ(ReadString(place.root, classKey + L"\\InprocServer32", L"ThreadingModel"), std::wstring(L"Apartment"));
      EXPECT_EQ(ReadString(place.root, place.prefix + entry.handler), std::wstring(entry.clsid));
      // The ids in the registry are the ones the server hands out.
      CLSID clsid = {};
      ASSERT_EQ(CLSIDFromString(entry.clsid, &clsid), S_OK);
      EXPECT_TRUE(host->Factory(clsid));
    }
    EXPECT_EQ(ReadString(place.root, place.prefix + L".zel"), std::wstring(L"zelfile"));
  }

  static void ExpectNoClassesBelow(HKEY root, const std::wstring& prefix) {
    for (const ClassKeys& entry : kClasses) {
      EXPECT_FALSE(KeyExists(root, prefix + ClassKey(entry))) << Utf8(prefix + ClassKey(entry));
      EXPECT_FALSE(KeyExists(root, prefix + entry.handler)) << Utf8(prefix + entry.handler);
    }
  }

  std::unique_ptr<CShellextHost> host = std::make_unique<CShellextHost>();
};

}  // namespace

TEST_F(ShellextRegistration, PerMachineWritesTheTableBelowTheClassesRootAndTheTypeLibrary) {
  ASSERT_EQ(host->RegisterServer(), S_OK);
  ExpectRegistered(kMachine);
  ExpectNoClassesBelow(HKEY_CURRENT_USER, kClassesBelow);
  EXPECT_EQ(ReadString(HKEY_CLASSES_ROOT, kTypeLib + L"\\1.0\\409\\win64"), host->ModulePath());
  // The open command belongs to whoever installs the program, not to the extension.
  EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, L"zelfile\\shell\\open\\command"));
}

TEST_F(ShellextRegistration, RegisteringAgainReplacesWhatItOwnsWholeAndTakesTheFileType) {
  WriteString(HKEY_CLASSES_ROOT, L".zel", nullptr, L"otherfile");
  ASSERT_EQ(host->RegisterServer(), S_OK);
  // Leftovers of some earlier version below the keys that registration replaces.
  const std::wstring server = ClassKey(kClasses[1]) + L"\\LocalServer32";
  const std::wstring stale = std::wstring(kClasses[2].handler) + L"\\Stale";
  WriteString(HKEY_CLASSES_ROOT, server, nullptr, L"C:\\old.exe");
  WriteString(HKEY_CLASSES_ROOT, ClassKey(kClasses[1]), L"AppID", L"{00000000-0000-0000-0000-000000000000}");
  WriteString(HKEY_CLASSES_ROOT, stale, nullptr, L"x");
  ASSERT_EQ(host->RegisterServer(), S_OK);
  ExpectRegistered(kMachine);
  EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, server));
  EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, stale));
  EXPECT_EQ(ReadString(HKEY_CLASSES_ROOT, ClassKey(kClasses[1]), L"AppID"), std::nullopt);
}

TEST_F(ShellextRegistration, UnregisteringRemovesClassesHandlersAndTypeLibraryButKeepsTheFileType) {
  ASSERT_EQ(host->RegisterServer(), S_OK);
  const std::wstring neighbour = L"zelfile\\ShellEx\\ContextMenuHandlers\\SomeoneElse";
  WriteString(HKEY_CLASSES_ROOT, neighbour, nullptr, L"{x}");
  ASSERT_EQ(host->UnregisterServer(), S_OK);
  ExpectNoClassesBelow(HKEY_CLASSES_ROOT, L"");
  EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, kTypeLib + L"\\1.0"));
  EXPECT_EQ(ReadString(HKEY_CLASSES_ROOT, L".zel"), std::wstring(L"zelfile"));
  for (const wchar_t* parent : {L"CLSID", L"Drive\\ShellEx\\ContextMenuHandlers",
                                L"Directory\\Background\\ShellEx\\ContextMenuHandlers", neighbour.c_str()}) {
    EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, parent)) << Utf8(parent);
  }
  DeleteTree(HKEY_CLASSES_ROOT, neighbour);
  EXPECT_EQ(host->UnregisterServer(), S_OK);  // nothing left to remove is no failure
}

TEST_F(ShellextRegistration, InstallForTheUserWritesBelowTheUsersClassesForTheRestOfTheProcess) {
  ASSERT_EQ(host->Install(TRUE, L"USER"), S_OK);
  ExpectRegistered(kUser);
  ExpectNoClassesBelow(HKEY_LOCAL_MACHINE, kClassesBelow);
  EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kClassesBelow + L".zel"));
  // Whether the system keeps a per-user type library for the user or for everyone is its choice.
  EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, kTypeLib + L"\\1.0") ||
              KeyExists(HKEY_CURRENT_USER, kClassesBelow + kTypeLib + L"\\1.0"));

  DeleteTree(HKEY_CURRENT_USER, kClassesBelow + ClassKey(kClasses[0]));
  ASSERT_EQ(host->RegisterServer(), S_OK);  // plain registration now stays per user too
  EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, kClassesBelow + ClassKey(kClasses[0])));
  ExpectNoClassesBelow(HKEY_LOCAL_MACHINE, kClassesBelow);

  ASSERT_EQ(host->Install(FALSE, L"user"), S_OK);
  ExpectNoClassesBelow(HKEY_CURRENT_USER, kClassesBelow);
  EXPECT_EQ(ReadString(HKEY_CURRENT_USER, kClassesBelow + L".zel"), std::wstring(L"zelfile"));
  EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, kTypeLib + L"\\1.0"));
}

TEST_F(ShellextRegistration, InstallWithAnyOtherCommandLineIsPerMachine) {
  for (const wchar_t* commandLine : {static_cast<const wchar_t*>(nullptr), L"user ", L"users", L""}) {
    SCOPED_TRACE(commandLine ? "[" + Utf8(commandLine) + "]" : "null");
    ASSERT_EQ(host->Install(TRUE, commandLine), S_OK);
    ExpectRegistered(kMachine);
    ExpectNoClassesBelow(HKEY_CURRENT_USER, kClassesBelow);
    ASSERT_EQ(host->Install(FALSE, commandLine), S_OK);
    ExpectNoClassesBelow(HKEY_CLASSES_ROOT, L"");
  }
}

TEST_F(ShellextRegistration, TheServerPathGoesInUnchangedQuotesAndAll) {
  CTempFolder folder(L"lv-it's here " + std::to_wstring(GetCurrentProcessId()));
  const std::wstring copy = folder.File(L"ZelToolExt.dll");
  ASSERT_TRUE(CopyFileW(CShellextHost::DefaultPath().c_str(), copy.c_str(), FALSE));
  host = std::make_unique<CShellextHost>(copy);
  ASSERT_TRUE(host->Loaded());
  ASSERT_EQ(host->RegisterServer(), S_OK);
  EXPECT_NE(host->ModulePath().find(L"it's here"), std::wstring::npos);
  ExpectRegistered(kMachine);
  ASSERT_EQ(host->UnregisterServer(), S_OK);
  host.reset();
  DeleteFileW(copy.c_str());
}
