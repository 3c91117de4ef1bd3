// ZelToolExt.dll as a component server: which classes it hands out, what its objects answer,
// what keeps the module loaded, and the type library it carries.
#include <windows.h>
#include <oleauto.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "tests/win/shellext_host.h"

namespace {

constexpr CLSID kNotOurs = {0x12345678, 0x1234, 0x1234, {0x12, 0x34, 0x12, 0x34, 0x56, 0x78, 0x9A, 0xBC}};
constexpr IID kIMount = {0x6EDD0D23, 0x9403, 0x4F64, {0xB2, 0x6D, 0xD9, 0x67, 0xF6, 0xCB, 0x10, 0x33}};
void* const kGarbage = reinterpret_cast<void*>(static_cast<uintptr_t>(0xDEADBEEF));

class ShellextServer : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(host.Loaded()) << Utf8(CShellextHost::DefaultPath()); }
  CShellextHost host;
};

}  // namespace

TEST_F(ShellextServer, HandsOutOneFactoryForEachOfItsClassesAndNothingElse) {
  for (const CLSID& clsid : {kCreateClass, kMountClass, kUnmountClass}) {
    CRef<IClassFactory> factory = host.Factory(clsid);
    CRef<IUnknown> again;
    EXPECT_EQ(host.GetClassObject(clsid, __uuidof(IUnknown), again.Put()), S_OK);
    EXPECT_TRUE(factory);
    EXPECT_EQ(again.get(), static_cast<IUnknown*>(factory.get()));
    void* dispatch = kGarbage;
    EXPECT_EQ(host.GetClassObject(clsid, __uuidof(IDispatch), &dispatch), E_NOINTERFACE);
    EXPECT_EQ(dispatch, nullptr);
  }
  for (const CLSID& clsid : {kNotOurs, kIMount}) {
    void* ppv = kGarbage;
    EXPECT_EQ(host.GetClassObject(clsid, __uuidof(IClassFactory), &ppv), CLASS_E_CLASSNOTAVAILABLE);
    EXPECT_EQ(ppv, nullptr);
  }
  EXPECT_EQ(host.GetClassObject(kMountClass, __uuidof(IClassFactory), nullptr), E_POINTER);
}

TEST_F(ShellextServer, ObjectsRefuseAggregationAndAnswerOnlyTheShellsInterfaces) {
  for (const CLSID& clsid : {kCreateClass, kMountClass, kUnmountClass}) {
    CRef<IClassFactory> factory = host.Factory(clsid);
    ASSERT_TRUE(factory);
    CRef<IUnknown> object;
    ASSERT_EQ(factory->CreateInstance(nullptr, __uuidof(IUnknown), object.Put()), S_OK);
    void* inner = kGarbage;
    EXPECT_EQ(factory->CreateInstance(object.get(), __uuidof(IUnknown), &inner), CLASS_E_NOAGGREGATION);
    EXPECT_EQ(inner, nullptr);

    CRef<IShellExtInit> init;
    CRef<IContextMenu> menu;
    CRef<IUnknown> identity;
    EXPECT_EQ(object->QueryInterface(__uuidof(IShellExtInit), init.Put()), S_OK);
    EXPECT_EQ(init->QueryInterface(__uuidof(IContextMenu), menu.Put()), S_OK);
    EXPECT_EQ(menu->QueryInterface(__uuidof(IUnknown), identity.Put()), S_OK);
    EXPECT_EQ(identity.get(), object.get());
    for (const IID& iid : {__uuidof(IContextMenu2), __uuidof(IContextMenu3), __uuidof(IDispatch), kIMount}) {
      void* other = kGarbage;
      EXPECT_EQ(menu->QueryInterface(iid, &other), E_NOINTERFACE);
      EXPECT_EQ(other, nullptr);
    }
  }
}

TEST_F(ShellextServer, TheModuleStaysWhileAnyObjectFactoryOrServerLockLives) {
  EXPECT_EQ(host.CanUnloadNow(), S_OK);
  CRef<IClassFactory> factory = host.Factory(kMountClass);
  EXPECT_EQ(host.CanUnloadNow(), S_FALSE);
  factory->LockServer(TRUE);
  factory.Reset();
  EXPECT_EQ(host.CanUnloadNow(), S_FALSE);
  host.Factory(kMountClass)->LockServer(FALSE);
  EXPECT_EQ(host.CanUnloadNow(), S_OK);

  CHandler handler = CreateHandler(host, kUnmountClass);  // a menu built by a live handler
  ASSERT_TRUE(handler.menu);
  BuildMenu(handler.menu.get());
  handler.init.Reset();
  EXPECT_EQ(host.CanUnloadNow(), S_FALSE);
  handler.menu.Reset();
  EXPECT_EQ(host.CanUnloadNow(), S_OK);
}

TEST_F(ShellextServer, ConcurrentFirstRequestsShareOneFactory) {
  constexpr int kThreads = 8;
  HANDLE go = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  std::vector<IClassFactory*> factories(kThreads, nullptr);
  std::vector<std::thread> threads;
  threads.reserve(kThreads);
  for (int i = 0; i < kThreads; ++i) {
    threads.emplace_back([&, i] {
      WaitForSingleObject(go, 10000);
      host.GetClassObject(kCreateClass, __uuidof(IClassFactory), reinterpret_cast<void**>(&factories[i]));
    });
  }
  SetEvent(go);
  for (std::thread& thread : threads) thread.join();
  CloseHandle(go);
  ASSERT_NE(factories[0], nullptr);
  for (IClassFactory* factory : factories) EXPECT_EQ(factory, factories[0]);
  for (IClassFactory* factory : factories) {
    if (factory != nullptr) factory->Release();
  }
  EXPECT_EQ(host.CanUnloadNow(), S_OK);
}

TEST_F(ShellextServer, CarriesItsTypeLibrary) {
  CRef<ITypeLib> library;
  ASSERT_EQ(LoadTypeLibEx(host.ModulePath().c_str(), REGKIND_NONE, reinterpret_cast<ITypeLib**>(library.Put())),
            S_OK);
  TLIBATTR* attr = nullptr;
  ASSERT_EQ(library->GetLibAttr(&attr), S_OK);
  const GUID libraryId = {0x067DD4F8, 0x3E45, 0x4646, {0x96, 0x56, 0x73, 0x13, 0xE9, 0x14, 0x8F, 0xFE}};
  EXPECT_EQ(attr->guid, libraryId);
  EXPECT_EQ(attr->lcid, 0x409u);
  EXPECT_EQ(attr->syskind, SYS_WIN64);
  EXPECT_EQ(attr->wMajorVerNum * 100 + attr->wMinorVerNum, 100);
  library->ReleaseTLibAttr(attr);
  BSTR name = nullptr;
  BSTR doc = nullptr;
  BSTR helpFile = nullptr;
  ASSERT_EQ(library->GetDocumentation(-1, &name, &doc, nullptr, &helpFile), S_OK);
  EXPECT_STREQ(name, L"ZelToolExtLib");
  EXPECT_STREQ(doc, L"ZelToolExt 1.0 Type Library");
  EXPECT_EQ(helpFile, nullptr);
  SysFreeString(name);
  SysFreeString(doc);

  struct Type {
    TYPEKIND kind;
    const wchar_t* name;
    GUID guid;
    const wchar_t* base;  // the interface of a class, the base of an interface
  } expected[] = {
      {TKIND_INTERFACE, L"IMount", kIMount, L"IUnknown"},
      {TKIND_INTERFACE, L"IUnmount", {0xAB05906D, 0x8059, 0x45C4, {0xA4, 0x5A, 0xBE, 0x51, 0x3C, 0x61, 0x27, 0xAB}},
       L"IUnknown"},
      {TKIND_INTERFACE, L"ICreate", {0xC944A760, 0xD3BE, 0x4978, {0x9B, 0xEE, 0xC4, 0x87, 0x58, 0x6B, 0xB4, 0x8E}},
       L"IUnknown"},
      {TKIND_COCLASS, L"Mount", kMountClass, L"IMount"},
      {TKIND_COCLASS, L"Unmount", kUnmountClass, L"IUnmount"},
      {TKIND_COCLASS, L"Create", kCreateClass, L"ICreate"},
  };
  ASSERT_EQ(library->GetTypeInfoCount(), 6u);
  for (const Type& type : expected) {
    SCOPED_TRACE(Utf8(type.name));
    CRef<ITypeInfo> info;
    ASSERT_EQ(library->GetTypeInfoOfGuid(type.guid, reinterpret_cast<ITypeInfo**>(info.Put())), S_OK);
    TYPEATTR* typeAttr = nullptr;
    ASSERT_EQ(info->GetTypeAttr(&typeAttr), S_OK);
    EXPECT_EQ(typeAttr->typekind, type.kind);
    EXPECT_EQ(typeAttr->cImplTypes, 1);
    EXPECT_EQ(typeAttr->cFuncs, 0);
    EXPECT_EQ((typeAttr->wTypeFlags & TYPEFLAG_FCANCREATE) != 0, type.kind == TKIND_COCLASS);
    EXPECT_EQ(typeAttr->wTypeFlags & (TYPEFLAG_FDUAL | TYPEFLAG_FOLEAUTOMATION), 0);
    info->ReleaseTypeAttr(typeAttr);

    ASSERT_EQ(info->GetDocumentation(MEMBERID_NIL, &name, &doc, nullptr, nullptr), S_OK);
    EXPECT_STREQ(name, type.name);
    EXPECT_EQ(std::wstring(doc), type.kind == TKIND_COCLASS ? std::wstring(type.name) + L" Class"
                                                             : std::wstring(type.name) + L" Interface");
    SysFreeString(name);
    SysFreeString(doc);

    HREFTYPE reference = 0;
    CRef<ITypeInfo> related;
    ASSERT_EQ(info->GetRefTypeOfImplType(0, &reference), S_OK);
    ASSERT_EQ(info->GetRefTypeInfo(reference, reinterpret_cast<ITypeInfo**>(related.Put())), S_OK);
    ASSERT_EQ(related->GetDocumentation(MEMBERID_NIL, &name, nullptr, nullptr, nullptr), S_OK);
    EXPECT_STREQ(name, type.base);
    SysFreeString(name);
  }
}
