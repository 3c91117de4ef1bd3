// What registering the extension writes and removes, as data: one list of registry steps per
// class, in the order of the class table, for either scope. A small writer applies them.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// Per machine everything goes below the classes root; per user below the current user's
// Software\Classes.
enum class RegistrationScope { Machine, User };
enum class RegistryRoot { ClassesRoot, CurrentUser };

struct RegistryStep {
  enum class Action {
    DeleteTree,  // the key with all its subkeys; a missing key is no error
    SetString,   // a REG_SZ value, the key and its parents created when missing
  };
  Action action;
  RegistryRoot root;
  std::u16string key;
  std::u16string name;  // empty: the key's default value
  std::u16string data;
};

bool operator==(const RegistryStep& a, const RegistryStep& b);

// One class of the server as the registry knows it.
struct RegisteredClass {
  const char16_t* clsid;        // in braces, as it appears in key names
  const char16_t* description;  // default value of the class key
  const char16_t* handlerKey;   // the file type's context-menu handler key for this class
  const char16_t* extension;    // a file extension to bind to fileType, or null
  const char16_t* fileType;
};

// The classes in the order of the class table: Create, Mount, Unmount.
inline constexpr RegisteredClass kRegisteredClasses[] = {
    {u"{204943C0-289A-464A-8C9C-99B5805350B0}", u"Create Class",
     u"Directory\\Background\\ShellEx\\ContextMenuHandlers\\ZelToolExt_Create", nullptr, nullptr},
    {u"{4FFECA33-2F96-4BFC-A6CC-D1F07EC3AC5B}", u"Mount Class",
     u"zelfile\\ShellEx\\ContextMenuHandlers\\ZelToolExt_Mount", u".zel", u"zelfile"},
    {u"{E8045B1D-ECEA-4B1A-8D1E-925ECAFDA9EA}", u"Unmount Class",
     u"Drive\\ShellEx\\ContextMenuHandlers\\ZelToolExt_Unmount", nullptr, nullptr},
};

// Registration: the class key and the handler key are replaced whole; the extension's file
// type is set, replacing an earlier one. Parents are created as needed and never removed.
std::vector<RegistryStep> ClassRegistration(const RegisteredClass& entry, RegistrationScope scope,
                                            std::u16string_view modulePath);
// Unregistration: the class key and the handler key go; the extension keeps its file type.
std::vector<RegistryStep> ClassUnregistration(const RegisteredClass& entry, RegistrationScope scope);

// Applies one step; returns an HRESULT (negative on failure).
class IRegistryWriter {
 public:
  virtual ~IRegistryWriter() = default;
  virtual int32_t Apply(const RegistryStep& step) = 0;
};

// Every class in table order; the first failing step stops the sequence and is returned, so the
// classes before it stay as they are now and the later ones are not touched.
int32_t UpdateClasses(bool registering, RegistrationScope scope, std::u16string_view modulePath,
                      IRegistryWriter& writer);

// DllInstall's command line asks for the per-user scope when it is "user" in any letter case,
// and nothing longer.
bool IsPerUserCommand(const char16_t* commandLine);

// The server operations that DllInstall combines.
class IServerRegistration {
 public:
  virtual ~IServerRegistration() = default;
  virtual int32_t Register() = 0;
  virtual int32_t Unregister() = 0;
};

// Installing that fails is undone by unregistering, and the installation's failure returned.
int32_t Install(bool install, IServerRegistration& server);
