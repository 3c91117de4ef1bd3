// The registry content of the extension as data, and the order in which it is applied.
#include "shellext/registration.h"

#include "common/text.h"

bool operator==(const RegistryStep& a, const RegistryStep& b) {
  return a.action == b.action && a.root == b.root && a.key == b.key && a.name == b.name && a.data == b.data;
}

namespace {

struct Place {
  RegistryRoot root;
  std::u16string prefix;
};

Place PlaceOf(RegistrationScope scope) {
  if (scope == RegistrationScope::User) return {RegistryRoot::CurrentUser, u"Software\\Classes\\"};
  return {RegistryRoot::ClassesRoot, u""};
}

std::u16string ClassKey(const RegisteredClass& entry) { return std::u16string(u"CLSID\\") + entry.clsid; }

}  // namespace

std::vector<RegistryStep> ClassRegistration(const RegisteredClass& entry, RegistrationScope scope,
                                            std::u16string_view modulePath) {
  const Place place = PlaceOf(scope);
  const std::u16string classKey = place.prefix + ClassKey(entry);
  const std::u16string serverKey = classKey + u"\\InprocServer32";
  const std::u16string handlerKey = place.prefix + entry.handlerKey;
  using Action = RegistryStep::Action;
  std::vector<RegistryStep> steps = {
      {Action::DeleteTree, place.root, classKey, u"", u""},
      {Action::SetString, place.root, classKey, u"", entry.description},
      {Action::SetString, place.root, serverKey, u"", std::u16string(modulePath)},
      {Action::SetString, place.root, serverKey, u"ThreadingModel", u"Apartment"},
  };
  if (entry.extension != nullptr) {
    steps.push_back({Action::SetString, place.root, place.prefix + entry.extension, u"", entry.fileType});
  }
  steps.push_back({Action::DeleteTree, place.root, handlerKey, u"", u""});
  steps.push_back({Action::SetString, place.root, handlerKey, u"", entry.clsid});
  return steps;
}

std::vector<RegistryStep> ClassUnregistration(const RegisteredClass& entry, RegistrationScope scope) {
  const Place place = PlaceOf(scope);
  using Action = RegistryStep::Action;
  return {
      {Action::DeleteTree, place.root, place.prefix + ClassKey(entry), u"", u""},
      {Action::DeleteTree, place.root, place.prefix + entry.handlerKey, u"", u""},
  };
}

int32_t UpdateClasses(bool registering, RegistrationScope scope, std::u16string_view modulePath,
                      IRegistryWriter& writer) {
  for (const RegisteredClass& entry : kRegisteredClasses) {
    const std::vector<RegistryStep> steps =
        registering ? ClassRegistration(entry, scope, modulePath) : ClassUnregistration(entry, scope);
    for (const RegistryStep& step : steps) {
      const int32_t result = writer.Apply(step);
      if (result < 0) return result;
    }
  }
  return 0;
}

bool IsPerUserCommand(const char16_t* commandLine) {
  return commandLine != nullptr && ToLowerAscii(commandLine) == u"user";
}

int32_t Install(bool install, IServerRegistration& server) {
  if (!install) return server.Unregister();
  const int32_t result = server.Register();
  if (result < 0) server.Unregister();
  return result;
}
