// Journeys through the Disconnect page: the list of mounted disks unmounted one after the other,
// a given drive mounted or not, and no service at all.
#include <windows.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <map>
#include <memory>

#include "tests/e2e/journey.h"
#include "tests/e2e/pages.h"
#include "tools/scripted_service.h"

using ::testing::ElementsAre;

namespace {

constexpr wchar_t kConfirmText[] =
    L"You are about to unmount this Virtual Disk.\nPlease ensure any open files on it have been closed.";

// A service that keeps a list of mounted disks and forgets one when it is unmounted.
class CMountedDisks {
 public:
  explicit CMountedDisks(std::map<char, std::string> disks) : m_disks(std::move(disks)) {}

  CScriptedService::Script Script() {
    return [this](const std::string& request) {
      const std::string keyword = request.substr(0, request.find('\n'));
      // No disks: a size of 0, so that no List request follows.
      if (keyword == "ListSize") return ScriptedReply::Text(m_disks.empty() ? "0" : std::to_string(List().size() + 1));
      if (keyword == "List") return ScriptedReply::Text(List());
      if (keyword == "Unmount") {
        const std::string entry = request.substr(8, request.find('\n', 8) - 8);
        for (auto it = m_disks.begin(); it != m_disks.end(); ++it) {
          if (std::string(1, it->first) + ": " + it->second == entry) {
            m_disks.erase(it);
            break;
          }
        }
        return ScriptedReply::Text("1");
      }
      return ScriptedReply::Text("0");
    };
  }

 private:
  std::string List() const {
    std::string list;
    for (const auto& [letter, path] : m_disks) list += std::string(1, letter) + ":\t" + path + "\t1\n";
    return list;
  }
  std::map<char, std::string> m_disks;
};

class UnmountJourney : public ::testing::Test {
 protected:
  void Serve(CScriptedService::Script script) {
    service = std::make_unique<CScriptedService>(std::move(script));
    ASSERT_TRUE(service->Start());
  }
  std::vector<std::string> Requests() const { return service->Requests(); }

  // On the Disconnect page that opens: presses Unmount, then, while the confirmation is open,
  // closes the page. Returns the box, still open; no window in it when a step failed.
  MessageBoxInfo CloseUnderConfirmation() {
    HWND page = WaitFor(program, IsUnmountPage);
    if (page == nullptr) return {};
    Click(page, IDOK);
    MessageBoxInfo box = WaitForMessageBox(program.Pid(), kWindowTimeoutMs);
    if (box.hwnd == nullptr) return box;
    Click(page, IDCANCEL);
    return WaitGone(page) ? box : MessageBoxInfo{};
  }

  std::unique_ptr<CScriptedService> service;
  CProgram program;
};

// Presses button 1 and answers the confirmation; returns the box that asked.
MessageBoxInfo ConfirmUnmount(const CProgram& program, HWND page, int answer) {
  Click(page, IDOK);
  MessageBoxInfo box = WaitForMessageBox(program.Pid(), kWindowTimeoutMs);
  if (box.hwnd != nullptr) AnswerMessageBox(box, answer);
  return box;
}

}  // namespace

TEST_F(UnmountJourney, ListModeUnmountsDisksOneAfterTheOther) {
  CMountedDisks disks({{'G', "C:\\disks\\g.zel"}, {'E', "C:\\disks\\e.zel"}});
  Serve(disks.Script());
  ASSERT_TRUE(program.Start(L"/u"));
  HWND page = WaitFor(program, IsUnmountPage);
  ASSERT_NE(page, nullptr);
  EXPECT_THAT(ComboItems(page, IDC_DRIVE), ElementsAre(L"E: C:\\disks\\e.zel", L"G: C:\\disks\\g.zel"));
  EXPECT_EQ(ComboSelection(page, IDC_DRIVE), 0);
  EXPECT_TRUE(IsControlVisible(page, IDC_DRIVE));
  EXPECT_FALSE(IsControlVisible(page, IDC_MOUNTED_ENTRY));
  EXPECT_FALSE(IsControlVisible(page, IDC_BACK));
  EXPECT_EQ(ControlText(page, IDOK), L"Unmount");
  EXPECT_TRUE(IsControlEnabled(page, IDOK));

  // Cancel in the confirmation sends nothing.
  MessageBoxInfo box = ConfirmUnmount(program, page, IDCANCEL);
  ASSERT_NE(box.hwnd, nullptr);
  EXPECT_EQ(box.caption, L"E: C:\\disks\\e.zel");
  EXPECT_EQ(box.text, kConfirmText);
  EXPECT_EQ(box.icon, MB_ICONWARNING);
  EXPECT_TRUE(box.hasCancel);
  EXPECT_EQ(Requests().size(), 2u);

  ASSERT_NE(ConfirmUnmount(program, page, IDOK).hwnd, nullptr);
  ASSERT_TRUE(WaitUntil([&] { return ComboItems(page, IDC_DRIVE).size() == 1; }, kWindowTimeoutMs));
  EXPECT_THAT(ComboItems(page, IDC_DRIVE), ElementsAre(L"G: C:\\disks\\g.zel"));
  EXPECT_TRUE(IsControlEnabled(page, IDOK));
  EXPECT_TRUE(IsControlEnabled(page, IDCANCEL));

  box = ConfirmUnmount(program, page, IDOK);
  EXPECT_EQ(box.caption, L"G: C:\\disks\\g.zel");
  ASSERT_TRUE(WaitUntil([&] { return IsControlVisible(page, IDC_MOUNTED_ENTRY); }, kWindowTimeoutMs));
  EXPECT_EQ(ControlText(page, IDC_MOUNTED_ENTRY), L"No drives are currently mounted");
  EXPECT_FALSE(IsControlVisible(page, IDC_DRIVE));
  EXPECT_FALSE(IsControlEnabled(page, IDOK));
  EXPECT_EQ(ControlText(page, IDOK), L"Unmount");

  EXPECT_THAT(Requests(), ElementsAre(Request("ListSize\n"), Request("List\n"),
                                      Request("Unmount\nE: C:\\disks\\e.zel\n"), Request("ListSize\n"),
                                      Request("List\n"), Request("Unmount\nG: C:\\disks\\g.zel\n"),
                                      Request("ListSize\n")));
  Click(page, IDCANCEL);
  EXPECT_EQ(ExitCodeOf(program), 2);
}

TEST_F(UnmountJourney, AGivenMountedDriveIsUnmountedAndThePageEndsWithOne) {
  CMountedDisks disks({{'E', "C:\\disks\\e.zel"}, {'G', "C:\\disks\\g.zel"}});
  Serve(disks.Script());
  ASSERT_TRUE(program.Start(L"/u g:\\"));
  HWND page = WaitFor(program, IsUnmountPage);
  ASSERT_NE(page, nullptr);
  EXPECT_EQ(ControlText(page, IDC_MOUNTED_ENTRY), L"G: C:\\disks\\g.zel");
  EXPECT_TRUE(IsControlVisible(page, IDC_MOUNTED_ENTRY));
  EXPECT_FALSE(IsControlVisible(page, IDC_DRIVE));
  EXPECT_EQ(ControlText(page, IDOK), L"Finish");
  EXPECT_TRUE(IsControlEnabled(page, IDOK));

  const MessageBoxInfo box = ConfirmUnmount(program, page, IDOK);
  EXPECT_EQ(box.caption, L"G: C:\\disks\\g.zel");
  EXPECT_EQ(ExitCodeOf(program), 1);
  EXPECT_EQ(Requests().back(), Request("Unmount\nG: C:\\disks\\g.zel\n"));
}

TEST_F(UnmountJourney, AGivenDriveThatIsNotMountedCannotBeFinished) {
  CMountedDisks disks({{'E', "C:\\disks\\e.zel"}});
  Serve(disks.Script());
  ASSERT_TRUE(program.Start(L"/u F"));
  HWND page = WaitFor(program, IsUnmountPage);
  ASSERT_NE(page, nullptr);
  EXPECT_EQ(ControlText(page, IDC_MOUNTED_ENTRY), L"F: (Not currently mounted)");
  EXPECT_EQ(ControlText(page, IDOK), L"Finish");
  EXPECT_FALSE(IsControlEnabled(page, IDOK));
  Click(page, IDCANCEL);
  EXPECT_EQ(ExitCodeOf(program), 2);
}

TEST_F(UnmountJourney, WithoutAServiceNothingIsMounted) {
  ASSERT_TRUE(program.Start(L"/u 5"));  // a digit is no drive: the list of all disks
  HWND page = WaitFor(program, IsUnmountPage);
  ASSERT_NE(page, nullptr);
  EXPECT_EQ(ControlText(page, IDC_MOUNTED_ENTRY), L"No drives are currently mounted");
  EXPECT_FALSE(IsControlEnabled(page, IDOK));
  Click(page, IDCANCEL);
  EXPECT_EQ(ExitCodeOf(program), 2);

  ASSERT_TRUE(program.Start(L"/u e"));
  page = WaitFor(program, IsUnmountPage);
  ASSERT_NE(page, nullptr);
  EXPECT_EQ(ControlText(page, IDC_MOUNTED_ENTRY), L"E: (Not currently mounted)");
  EXPECT_FALSE(IsControlEnabled(page, IDOK));
}

TEST_F(UnmountJourney, APageClosedUnderItsConfirmationUnmountsNothing) {
  CMountedDisks disks({{'E', "C:\\disks\\e.zel"}});
  Serve(disks.Script());

  // Beside the start window: the page goes, the program stays, and the page opens again.
  ASSERT_TRUE(program.Start(L""));
  HWND start = WaitFor(program, IsStartWindow);
  ASSERT_NE(start, nullptr);
  Click(start, IDC_DISCONNECT);
  MessageBoxInfo box = CloseUnderConfirmation();
  ASSERT_NE(box.hwnd, nullptr);
  ASSERT_TRUE(AnswerMessageBox(box, IDOK));
  Click(start, IDC_DISCONNECT);
  HWND page = WaitFor(program, IsUnmountPage);
  ASSERT_NE(page, nullptr);
  EXPECT_THAT(ComboItems(page, IDC_DRIVE), ElementsAre(L"E: C:\\disks\\e.zel"));
  Click(page, IDCANCEL);
  Click(start, IDCANCEL);
  EXPECT_EQ(ExitCodeOf(program), 2);

  // Alone: the program waits for the box, then ends with the close's code.
  ASSERT_TRUE(program.Start(L"/u e"));
  box = CloseUnderConfirmation();
  ASSERT_NE(box.hwnd, nullptr);
  EXPECT_TRUE(program.IsRunning());
  EXPECT_TRUE(IsWindowVisible(box.hwnd));
  ASSERT_TRUE(AnswerMessageBox(box, IDOK));
  EXPECT_EQ(ExitCodeOf(program), 2);
  for (const std::string& request : Requests()) EXPECT_NE(request.rfind("Unmount", 0), 0u) << request;
}

TEST_F(UnmountJourney, TheLastDiskIsDisconnectedFromTheKeyboardAndEscapeLeaves) {
  CMountedDisks disks({{'E', "C:\\disks\\e.zel"}});
  Serve(disks.Script());
  ASSERT_TRUE(program.Start(L"/u"));
  HWND page = WaitFor(program, IsUnmountPage);
  ASSERT_NE(page, nullptr);
  ASSERT_TRUE(MakeForeground(page));
  EXPECT_EQ(FocusedWindow(page), GetDlgItem(page, IDC_DRIVE));

  PressKey(VK_TAB);
  ASSERT_TRUE(WaitForFocusOn(page, IDOK, kWindowTimeoutMs));
  PressKey(VK_RETURN);
  const MessageBoxInfo box = WaitForMessageBox(program.Pid(), kWindowTimeoutMs);
  ASSERT_NE(box.hwnd, nullptr);
  EXPECT_EQ(box.caption, L"E: C:\\disks\\e.zel");
  ASSERT_TRUE(WaitForFocusIn(box.hwnd, kWindowTimeoutMs));
  PressKey(VK_RETURN);

  // Unmount is disabled under the focus, which moves on to Cancel: Escape still leaves.
  ASSERT_TRUE(WaitUntil([&] { return IsControlVisible(page, IDC_MOUNTED_ENTRY); }, kWindowTimeoutMs));
  EXPECT_TRUE(WaitUntil([&] { return !IsControlEnabled(page, IDOK); }, kWindowTimeoutMs));
  EXPECT_TRUE(WaitForFocusOn(page, IDCANCEL, kWindowTimeoutMs));
  PressKey(VK_ESCAPE);
  EXPECT_EQ(ExitCodeOf(program), 2);
  EXPECT_THAT(Requests(), ElementsAre(Request("ListSize\n"), Request("List\n"),
                                      Request("Unmount\nE: C:\\disks\\e.zel\n"), Request("ListSize\n")));
}
