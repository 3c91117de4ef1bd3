// Finish on the Create wizard: the checks in order, the requests, the boxes, and what becomes of
// a disk file that already stands at the path.
#include "utility/create_finish.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>
#include <vector>

#include "common/disk_service_client.h"
#include "common/text.h"
#include "tests/unit/fake_service.h"

using ::testing::ElementsAre;
using ::testing::IsEmpty;

namespace {

std::string Narrow(std::u16string_view text) { return ToUtf8(text); }

std::string Req(const std::string& text) { return text + std::string(1, '\0'); }

// One log for the page and the files, so that the order of boxes and file moves shows.
struct Journal {
  std::vector<std::string> events;
};

class FakeView : public ICreateFinishView {
 public:
  explicit FakeView(Journal& journal) : m_journal(journal) {}

  bool Ask(const MessageText& message, std::u16string_view text) override {
    m_journal.events.push_back("box " + Narrow(message.caption) + (text.empty() ? "" : ": " + Narrow(text)));
    if (message.caption == closeAtBox) closed = true;
    return answers.count(message.caption) ? answers[message.caption] : true;
  }
  void AddToHistory(const std::u16string& path) override { m_journal.events.push_back("history " + Narrow(path)); }
  void DisableControls() override { m_journal.events.push_back("disable"); }
  void EnableControls() override { m_journal.events.push_back("enable"); }
  int RecordMountResult(const std::u16string& path, const std::u16string&, const std::u16string&, int reply) override {
    if (reply == 0) Ask(kFailedToMount, path);
    return reply;
  }
  void StartDriveWait(int reply) override { m_journal.events.push_back("wait " + std::to_string(reply)); }
  bool WizardClosed() override { return closed; }

  std::map<const char16_t*, bool> answers;  // by caption; OK unless set
  const char16_t* closeAtBox = nullptr;     // the user closes the wizard while this box is open
  bool closed = false;

 private:
  Journal& m_journal;
};

class FakeFiles : public IDiskFiles {
 public:
  explicit FakeFiles(Journal& journal) : m_journal(journal) {}

  bool Exists(const std::u16string& path) override { return files.count(path) || folders.count(path); }
  std::u16string MoveAside(const std::u16string& path) override {
    if (folders.count(path) || stuck.count(path)) return {};
    std::u16string aside = path + u".aside";
    files.erase(path);
    files.insert(aside);
    if (folderAppearsAtPath) folders.insert(path);
    m_journal.events.push_back("aside " + Narrow(path));
    return aside;
  }
  bool Restore(const std::u16string& aside, const std::u16string& path) override {
    if (folders.count(path)) return false;
    files.erase(aside);
    files.insert(path);
    m_journal.events.push_back("restore " + Narrow(path));
    return true;
  }
  void Discard(const std::u16string& aside) override {
    files.erase(aside);
    m_journal.events.push_back("discard " + Narrow(aside));
  }

  std::set<std::u16string> files;
  std::set<std::u16string> folders;
  std::set<std::u16string> stuck;    // read-only or locked: cannot be moved
  bool folderAppearsAtPath = false;  // something takes the path once its file has moved aside

 private:
  Journal& m_journal;
};

class CreateFinishTest : public ::testing::Test {
 protected:
  int Finish(const std::u16string& path, const std::u16string& passphrase = u"") {
    return FinishCreate({path, u"F:", u"Label", SecretText(passphrase)}, client, files, view);
  }
  std::vector<std::string> Requests() const { return FakeService::Instance().Requests(); }
  void Replies(std::initializer_list<const char*> texts) {
    for (const char* text : texts) FakeService::Instance().QueueText(text);
  }

  Journal journal;
  FakeView view{journal};
  FakeFiles files{journal};
  CDiskServiceClient client;
};

const std::u16string kPath = u"D:\\disks\\new.zel";

}  // namespace

TEST_F(CreateFinishTest, ANewPlainDiskIsCheckedThenMountedAndAwaited) {
  Replies({"0", "1\n0", "6"});
  EXPECT_EQ(Finish(kPath), 6);
  EXPECT_THAT(Requests(), ElementsAre(Req("Status\nD:\n"), Req("StorageAccessible\nD:\\disks\\new.zel\n\n"),
                                      Req("Mount\nD:\\disks\\new.zel\nF:\nLabel\n\n0\n")));
  EXPECT_THAT(journal.events, ElementsAre("history D:\\disks\\new.zel", "disable", "wait 6"));
}

TEST_F(CreateFinishTest, AnEncryptedDiskIsAnnouncedAndCancelStops) {
  Replies({"0", "1\n0", "3"});
  EXPECT_EQ(Finish(kPath, u"s3cret"), 3);
  EXPECT_EQ(journal.events.front(), "box A new, encrypted Virtual Disk will be created.");
  EXPECT_EQ(Requests().back(), Req("Mount\nD:\\disks\\new.zel\nF:\nLabel\ns3cret\n0\n"));

  FakeService::Instance().Reset();
  journal.events.clear();
  view.answers[kNewEncryptedDisk.caption] = false;
  Replies({"0", "1\n0"});
  EXPECT_EQ(Finish(kPath, u"s3cret"), 0);
  EXPECT_THAT(journal.events, ElementsAre("box A new, encrypted Virtual Disk will be created."));
  EXPECT_EQ(Requests().size(), 2u);  // no Mount
}

TEST_F(CreateFinishTest, NoWarningWhenTheServiceGivesAReasonOrThereIsNoPassphrase) {
  Replies({"0", "1\n3", "2"});
  EXPECT_EQ(Finish(kPath, u"pw"), 2);
  Replies({"0", "1\n0", "2"});
  EXPECT_EQ(Finish(kPath), 2);
  for (const std::string& event : journal.events) EXPECT_EQ(event.rfind("box", 0), std::string::npos) << event;
}

TEST_F(CreateFinishTest, APathOnAMountedVirtualDiskIsRefusedBeforeAnythingIsTouched) {
  files.files.insert(u"e:\\inside.zel");
  Replies({"1"});
  EXPECT_EQ(Finish(u"e:\\inside.zel"), 0);
  EXPECT_THAT(Requests(), ElementsAre(Req("Status\ne:\n")));
  EXPECT_THAT(journal.events, ElementsAre("box Could Not Delete File"));
  EXPECT_TRUE(files.files.count(u"e:\\inside.zel"));
}

TEST_F(CreateFinishTest, PathsWithoutADriveLetterAreNotAskedAbout) {
  for (const std::u16string path : {u"\\\\server\\share\\a.zel", u"relative.zel", u"", u"C"}) {
    FakeService::Instance().Reset();
    Replies({"1\n0", "1"});
    EXPECT_EQ(Finish(path), 1);
    ASSERT_EQ(Requests().size(), 2u);
    EXPECT_EQ(Requests()[0], Req("StorageAccessible\n" + Narrow(path) + "\n\n"));
  }
}

TEST_F(CreateFinishTest, RefusalsShowTheirReason) {
  const std::pair<const char*, const char*> refusals[] = {{"0\n4", "box Invalid Passphrase"},
                                                          {"0\n1", "box Invalid File"},
                                                          {"0\n2", "box File Access Denied"},
                                                          {"0\n7", "box File Error"}};
  for (const auto& [reply, box] : refusals) {
    journal.events.clear();
    Replies({"0", reply});
    EXPECT_EQ(Finish(kPath), 0);
    EXPECT_THAT(journal.events, ElementsAre(box));
  }
  // No service at all: the mounted-disk test passes, then the file cannot be loaded.
  journal.events.clear();
  EXPECT_EQ(Finish(kPath), 0);
  EXPECT_THAT(journal.events, ElementsAre("box File Error"));
}

TEST_F(CreateFinishTest, AnExistingFileIsKeptWhenTheUserSaysNo) {
  files.files.insert(kPath);
  view.answers[kFileAlreadyExists.caption] = false;
  Replies({"0"});
  EXPECT_EQ(Finish(kPath), 0);
  EXPECT_THAT(journal.events, ElementsAre("box File Already Exists"));
  EXPECT_THAT(files.files, ElementsAre(kPath));
  EXPECT_EQ(Requests().size(), 1u);
}

TEST_F(CreateFinishTest, AnOverwrittenFileComesBackWheneverFinishStops) {
  struct Stop {
    std::vector<const char*> replies;
    std::u16string passphrase;
    bool cancelWarning;
    std::vector<std::string> events;
  };
  const Stop stops[] = {
      {{"0", "0\n2"}, u"", false,
       {"box File Already Exists", "aside D:\\disks\\new.zel", "box File Access Denied", "restore D:\\disks\\new.zel"}},
      {{"0", "1\n0"}, u"pw", true,
       {"box File Already Exists", "aside D:\\disks\\new.zel", "box A new, encrypted Virtual Disk will be created.",
        "restore D:\\disks\\new.zel"}},
      {{"0", "1\n0", "0"}, u"", false,
       {"box File Already Exists", "aside D:\\disks\\new.zel", "history D:\\disks\\new.zel", "disable",
        "box Failed to mount: D:\\disks\\new.zel", "restore D:\\disks\\new.zel", "enable"}},
  };
  for (const Stop& stop : stops) {
    FakeService::Instance().Reset();
    journal.events.clear();
    files.files = {kPath};
    view.answers[kNewEncryptedDisk.caption] = !stop.cancelWarning;
    for (const char* reply : stop.replies) FakeService::Instance().QueueText(reply);
    EXPECT_EQ(Finish(kPath, stop.passphrase), 0);
    EXPECT_EQ(journal.events, stop.events);
    EXPECT_THAT(files.files, ElementsAre(kPath));
  }
}

TEST_F(CreateFinishTest, AnOverwrittenFileGoesOnlyOnceTheNewDiskIsMounted) {
  files.files.insert(kPath);
  Replies({"0", "1\n0", "4"});
  EXPECT_EQ(Finish(kPath), 4);
  EXPECT_THAT(journal.events, ElementsAre("box File Already Exists", "aside D:\\disks\\new.zel",
                                          "history D:\\disks\\new.zel", "disable",
                                          "discard D:\\disks\\new.zel.aside", "wait 4"));
  EXPECT_THAT(files.files, IsEmpty());
}

TEST_F(CreateFinishTest, AWizardClosedUnderABoxSendsNothingMoreAndOnlyPutsTheFileBack) {
  struct Close {
    const char16_t* atBox;
    std::vector<const char*> replies;
    std::u16string passphrase;
    std::vector<std::string> events;
    size_t requests;
  };
  const Close closes[] = {
      {kFileAlreadyExists.caption, {"0"}, u"", {"box File Already Exists"}, 1},
      {kNewEncryptedDisk.caption,
       {"0", "1\n0"},
       u"pw",
       {"box File Already Exists", "aside D:\\disks\\new.zel", "box A new, encrypted Virtual Disk will be created.",
        "restore D:\\disks\\new.zel"},
       2},
      {kFailedToMount.caption,
       {"0", "1\n0", "0"},
       u"",
       {"box File Already Exists", "aside D:\\disks\\new.zel", "history D:\\disks\\new.zel", "disable",
        "box Failed to mount: D:\\disks\\new.zel", "restore D:\\disks\\new.zel"},
       3},
  };
  for (const Close& close : closes) {
    FakeService::Instance().Reset();
    journal.events.clear();
    files.files = {kPath};
    view.closed = false;
    view.closeAtBox = close.atBox;
    for (const char* reply : close.replies) FakeService::Instance().QueueText(reply);
    EXPECT_EQ(Finish(kPath, close.passphrase), 0);
    EXPECT_EQ(journal.events, close.events);
    EXPECT_EQ(Requests().size(), close.requests);
    EXPECT_THAT(files.files, ElementsAre(kPath));
  }
}

TEST_F(CreateFinishTest, AFileThatCannotGoBackIsNamedAndKept) {
  files.files.insert(kPath);
  files.folderAppearsAtPath = true;  // the failed attempt leaves a folder where the file was
  Replies({"0", "1\n0", "0"});
  EXPECT_EQ(Finish(kPath), 0);
  EXPECT_THAT(journal.events,
              ElementsAre("box File Already Exists", "aside D:\\disks\\new.zel", "history D:\\disks\\new.zel",
                          "disable", "box Failed to mount: D:\\disks\\new.zel",
                          "box File Kept Aside: The existing file could not be put back.\nIt is kept as:\n"
                          "D:\\disks\\new.zel.aside",
                          "enable"));
  EXPECT_THAT(files.files, ElementsAre(u"D:\\disks\\new.zel.aside"));
}

TEST_F(CreateFinishTest, WhatCannotBeMovedAsideIsNotOverwritten) {
  files.folders.insert(u"D:\\folder.zel");
  files.files.insert(u"D:\\locked.zel");
  files.stuck.insert(u"D:\\locked.zel");
  for (const std::u16string path : {u"D:\\folder.zel", u"D:\\locked.zel"}) {
    FakeService::Instance().Reset();
    journal.events.clear();
    Replies({"0"});
    EXPECT_EQ(Finish(path), 0);
    EXPECT_THAT(journal.events, ElementsAre("box File Already Exists", "box Could Not Delete File"));
    EXPECT_EQ(Requests().size(), 1u);
  }
  EXPECT_TRUE(files.files.count(u"D:\\locked.zel"));
}

TEST(PassphraseProblem, MismatchComesBeforeBlank) {
  EXPECT_EQ(PassphraseProblem(u"a", u"b"), &kPasswordMismatch);
  EXPECT_EQ(PassphraseProblem(u"Secret", u"secret"), &kPasswordMismatch);
  EXPECT_EQ(PassphraseProblem(u"", u"x"), &kPasswordMismatch);
  EXPECT_EQ(PassphraseProblem(u"", u""), &kBlankPassword);
  EXPECT_EQ(PassphraseProblem(u"abc", u"abc"), nullptr);  // weak, but allowed
  EXPECT_EQ(PassphraseProblem(u" ", u" "), nullptr);
}
