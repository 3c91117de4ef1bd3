// The registry content of the extension for both scopes, the order in which it is written, what
// a failure stops, and the switches of DllInstall.
#include "shellext/registration.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "common/text.h"

using ::testing::ElementsAre;

// Steps read in failure messages as they would in a registry editor.
void PrintTo(const RegistryStep& step, std::ostream* out) {
  *out << (step.action == RegistryStep::Action::DeleteTree ? "delete " : "set ")
       << (step.root == RegistryRoot::CurrentUser ? "HKCU\\" : "HKCR\\") << ToUtf8(step.key);
  if (step.action == RegistryStep::Action::SetString) *out << " [" << ToUtf8(step.name) << "] = " << ToUtf8(step.data);
}

namespace {

using Action = RegistryStep::Action;

constexpr char16_t kModule[] = u"C:\\Program Files\\It's Here\\ZelToolExt.dll";

// Records the steps it is given; the step numbered failAt (from 0) fails.
class RecordingWriter : public IRegistryWriter {
 public:
  int32_t Apply(const RegistryStep& step) override {
    if (static_cast<int>(steps.size()) == failAt) return failure;
    steps.push_back(step);
    return 0;
  }
  std::vector<std::string> Keys() const {
    std::vector<std::string> keys;
    for (const RegistryStep& step : steps) keys.push_back(ToUtf8(step.key));
    return keys;
  }

  std::vector<RegistryStep> steps;
  int failAt = -1;
  int32_t failure = static_cast<int32_t>(0x80070005);  // access denied
};

class ShellextRegistrationScopes : public ::testing::TestWithParam<RegistrationScope> {
 protected:
  RegistryRoot Root() const {
    return GetParam() == RegistrationScope::User ? RegistryRoot::CurrentUser : RegistryRoot::ClassesRoot;
  }
  std::u16string Key(const char16_t* below) const {
    return (GetParam() == RegistrationScope::User ? u"Software\\Classes\\" : u"") + std::u16string(below);
  }
  RegistryStep Delete(const char16_t* key) const { return {Action::DeleteTree, Root(), Key(key), u"", u""}; }
  RegistryStep Set(const char16_t* key, const char16_t* name, std::u16string data) const {
    return {Action::SetString, Root(), Key(key), name, std::move(data)};
  }
};

}  // namespace

TEST_P(ShellextRegistrationScopes, MountReplacesItsClassAndHandlerKeysAndBindsTheExtension) {
  EXPECT_THAT(ClassRegistration(kRegisteredClasses[1], GetParam(), kModule),
              ElementsAre(Delete(u"CLSID\\{4FFECA33-2F96-4BFC-A6CC-D1F07EC3AC5B}"),
                          Set(u"CLSID\\{4FFECA33-2F96-4BFC-A6CC-D1F07EC3AC5B}", u"", u"Mount Class"),
                          Set(u"CLSID\\{4FFECA33-2F96-4BFC-A6CC-D1F07EC3AC5B}\\InprocServer32", u"", kModule),
                          Set(u"CLSID\\{4FFECA33-2F96-4BFC-A6CC-D1F07EC3AC5B}\\InprocServer32", u"ThreadingModel",
                              u"Apartment"),
                          Set(u".zel", u"", u"zelfile"),
                          Delete(u"zelfile\\ShellEx\\ContextMenuHandlers\\ZelToolExt_Mount"),
                          Set(u"zelfile\\ShellEx\\ContextMenuHandlers\\ZelToolExt_Mount", u"",
                              u"{4FFECA33-2F96-4BFC-A6CC-D1F07EC3AC5B}")));
}

TEST_P(ShellextRegistrationScopes, UnregistrationRemovesClassAndHandlerKeysOnly) {
  RecordingWriter writer;
  EXPECT_EQ(UpdateClasses(false, GetParam(), kModule, writer), 0);
  EXPECT_THAT(writer.steps,
              ElementsAre(Delete(u"CLSID\\{204943C0-289A-464A-8C9C-99B5805350B0}"),
                          Delete(u"Directory\\Background\\ShellEx\\ContextMenuHandlers\\ZelToolExt_Create"),
                          Delete(u"CLSID\\{4FFECA33-2F96-4BFC-A6CC-D1F07EC3AC5B}"),
                          Delete(u"zelfile\\ShellEx\\ContextMenuHandlers\\ZelToolExt_Mount"),
                          Delete(u"CLSID\\{E8045B1D-ECEA-4B1A-8D1E-925ECAFDA9EA}"),
                          Delete(u"Drive\\ShellEx\\ContextMenuHandlers\\ZelToolExt_Unmount")));
}

INSTANTIATE_TEST_SUITE_P(BothScopes, ShellextRegistrationScopes,
                         ::testing::Values(RegistrationScope::Machine, RegistrationScope::User));

TEST(ShellextRegistration, ClassesAreWrittenInTableOrderAndTheFirstFailureStops) {
  RecordingWriter all;
  EXPECT_EQ(UpdateClasses(true, RegistrationScope::Machine, kModule, all), 0);
  ASSERT_EQ(all.steps.size(), 19u);
  EXPECT_EQ(all.Keys().front(), "CLSID\\{204943C0-289A-464A-8C9C-99B5805350B0}");
  EXPECT_EQ(all.Keys()[6], "CLSID\\{4FFECA33-2F96-4BFC-A6CC-D1F07EC3AC5B}");
  EXPECT_EQ(all.Keys()[13], "CLSID\\{E8045B1D-ECEA-4B1A-8D1E-925ECAFDA9EA}");

  // The Mount class fails at its third step: Create stays written, Unmount is never touched.
  RecordingWriter failing;
  failing.failAt = 8;
  EXPECT_EQ(UpdateClasses(true, RegistrationScope::Machine, kModule, failing), failing.failure);
  ASSERT_EQ(failing.steps.size(), 8u);
  for (const std::string& key : failing.Keys()) EXPECT_EQ(key.find("E8045B1D"), std::string::npos) << key;
  EXPECT_EQ(failing.Keys()[5], "Directory\\Background\\ShellEx\\ContextMenuHandlers\\ZelToolExt_Create");
}

TEST(ShellextInstall, OnlyTheWordUserInAnyCaseAsksForThePerUserScope) {
  for (const char16_t* text : {u"user", u"USER", u"uSeR"}) EXPECT_TRUE(IsPerUserCommand(text));
  for (const char16_t* text : {u"", u"use", u"user ", u"users", u" user"}) EXPECT_FALSE(IsPerUserCommand(text));
  EXPECT_FALSE(IsPerUserCommand(nullptr));
}

namespace {

class FakeServer : public IServerRegistration {
 public:
  int32_t Register() override {
    calls.push_back("register");
    return registerResult;
  }
  int32_t Unregister() override {
    calls.push_back("unregister");
    return unregisterResult;
  }
  std::vector<std::string> calls;
  int32_t registerResult = 0;
  int32_t unregisterResult = 0;
};

}  // namespace

TEST(ShellextInstall, AFailedInstallationIsUndoneAndReportsItsOwnFailure) {
  FakeServer ok;
  EXPECT_EQ(Install(true, ok), 0);
  EXPECT_THAT(ok.calls, ElementsAre("register"));

  FakeServer failing;
  failing.registerResult = static_cast<int32_t>(0x80070005);
  failing.unregisterResult = static_cast<int32_t>(0x80004005);
  EXPECT_EQ(Install(true, failing), failing.registerResult);
  EXPECT_THAT(failing.calls, ElementsAre("register", "unregister"));

  FakeServer removing;
  removing.unregisterResult = static_cast<int32_t>(0x80004005);
  EXPECT_EQ(Install(false, removing), removing.unregisterResult);
  EXPECT_THAT(removing.calls, ElementsAre("unregister"));
}
