// The extension's own texts: each handler's menu item, its help text and the switch of the
// command line it starts the program with. Fixed English literals, not resources.
#pragma once

struct HandlerTexts {
  const char16_t* menu;
  const char16_t* help;
  const char16_t* commandSwitch;  // ends in the blank that separates it from the argument
};

inline constexpr HandlerTexts kMountTexts{u"Mount File As a Virtual Disk", u"Mount the file as a virtual disk drive",
                                          u"/m "};
inline constexpr HandlerTexts kUnmountTexts{u"Unmount Virtual Disk", u"Unmount the virtual disk drive", u"/u "};
inline constexpr HandlerTexts kCreateTexts{u"Create a new Virtual Disk",
                                           u"Create a new virtual disk file and mount it as a virtual drive", u"/c "};

// Where the program is found: the default value of this key below the classes root.
inline constexpr char16_t kProgramCommandKey[] = u"zelfile\\shell\\open\\command";
