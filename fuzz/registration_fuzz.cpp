// The registration plan for any module path and scope, with a registry that fails at any step,
// and DllInstall's command line. Fields: the module path (raw UTF-16), control bytes
// (registering, scope, the failing step, its result, the server's results), the command line
// (raw UTF-16).
#include <string>
#include <vector>

#include "fuzz/fuzz_input.h"
#include "shellext/registration.h"

namespace {

class RecordingWriter : public IRegistryWriter {
 public:
  RecordingWriter(size_t failAt, int32_t failure) : m_failAt(failAt), m_failure(failure) {}
  int32_t Apply(const RegistryStep& step) override {
    steps.push_back(step);
    return steps.size() - 1 == m_failAt ? m_failure : 0;
  }
  std::vector<RegistryStep> steps;

 private:
  size_t m_failAt;
  int32_t m_failure;
};

class ScriptedServer : public IServerRegistration {
 public:
  ScriptedServer(int32_t registerResult, int32_t unregisterResult)
      : m_registerResult(registerResult), m_unregisterResult(unregisterResult) {}
  int32_t Register() override {
    calls += "r";
    return m_registerResult;
  }
  int32_t Unregister() override {
    calls += "u";
    return m_unregisterResult;
  }
  std::string calls;

 private:
  int32_t m_registerResult;
  int32_t m_unregisterResult;
};

// Whether key is below (or is) the key `top`.
bool IsAtOrBelow(std::u16string_view key, std::u16string_view top) {
  return StartsWith(key, top) && (key.size() == top.size() || key[top.size()] == u'\\');
}

std::u16string AsciiLower(std::u16string_view text) {
  std::u16string lower(text);
  for (char16_t& c : lower) {
    if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c + 32);
  }
  return lower;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const FuzzFields fields(data, size);
  const std::u16string modulePath = Utf16Units(fields[0]);
  const std::string_view control = fields[1];
  const uint8_t flags = control.empty() ? 0 : static_cast<uint8_t>(control[0]);
  const bool registering = (flags & 1) != 0;
  const RegistrationScope scope = (flags & 2) != 0 ? RegistrationScope::User : RegistrationScope::Machine;
  const size_t failAt = control.size() > 1 ? static_cast<unsigned char>(control[1]) : SIZE_MAX;
  const int32_t failure = static_cast<int32_t>(Number32(control.substr(std::min<size_t>(2, control.size()), 4)));

  RecordingWriter writer(failAt, failure);
  const int32_t result = UpdateClasses(registering, scope, modulePath, writer);
  const size_t total = registering ? 19 : 6;
  // The first failing step stops everything after it and is what the caller gets.
  if (failAt < total && failure < 0) {
    FUZZ_CHECK(result == failure && writer.steps.size() == failAt + 1);
  } else {
    FUZZ_CHECK(result == 0 && writer.steps.size() == total);
  }

  const RegistryRoot root = scope == RegistrationScope::User ? RegistryRoot::CurrentUser : RegistryRoot::ClassesRoot;
  const std::u16string prefix = scope == RegistrationScope::User ? u"Software\\Classes\\" : u"";
  for (size_t i = 0; i < writer.steps.size(); ++i) {
    const RegistryStep& step = writer.steps[i];
    FUZZ_CHECK(step.root == root && StartsWith(step.key, prefix) && step.key.size() > prefix.size());
    FUZZ_CHECK(registering || step.action == RegistryStep::Action::DeleteTree);
    if (step.action != RegistryStep::Action::SetString) continue;
    // The server's path goes where the system loads it from, whole, and nowhere else.
    const bool serverValue = EndsWith(step.key, u"\\InprocServer32") && step.name.empty();
    if (serverValue) FUZZ_CHECK(step.data == modulePath);
    // Nothing written is removed again by a later step of the same plan.
    for (size_t k = i + 1; k < writer.steps.size(); ++k) {
      const RegistryStep& later = writer.steps[k];
      FUZZ_CHECK(later.action != RegistryStep::Action::DeleteTree || !IsAtOrBelow(step.key, later.key));
    }
  }

  // Unregistering removes every key that registering wrote, but for the extension's binding,
  // which other programs may share.
  if (registering) {
    for (const RegisteredClass& entry : kRegisteredClasses) {
      const std::vector<RegistryStep> removal = ClassUnregistration(entry, scope);
      for (const RegistryStep& step : ClassRegistration(entry, scope, modulePath)) {
        if (entry.extension != nullptr && step.key == prefix + entry.extension) continue;
        bool removed = false;
        for (const RegistryStep& remove : removal) removed = removed || IsAtOrBelow(step.key, remove.key);
        FUZZ_CHECK(removed);
      }
    }
  }

  // DllInstall: "user" in any letter case and nothing else, up to the NUL.
  const std::u16string command = Utf16Units(fields[2]);
  const std::u16string_view beforeNul = std::u16string_view(command).substr(0, command.find(u'\0'));
  FUZZ_CHECK(IsPerUserCommand(command.c_str()) == (AsciiLower(beforeNul) == u"user"));

  // Install: a failed registration is undone and reported as itself.
  const int32_t registerResult = static_cast<int32_t>(Number32(control.substr(std::min<size_t>(6, control.size()), 4)));
  const int32_t unregisterResult = static_cast<int32_t>(Number32(control.substr(std::min<size_t>(10, control.size()), 4)));
  ScriptedServer server(registerResult, unregisterResult);
  const bool install = (flags & 4) != 0;
  const int32_t installed = Install(install, server);
  if (!install) {
    FUZZ_CHECK(server.calls == "u" && installed == unregisterResult);
  } else {
    FUZZ_CHECK(installed == registerResult && server.calls == (registerResult < 0 ? "ru" : "r"));
  }
  return 0;
}
