// Decisions of the Mount wizard and the Disconnect page, against a scripted service.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "common/disk_service_client.h"
#include "tests/unit/fake_service.h"
#include "utility/mount_rules.h"
#include "utility/unmount_rules.h"

using ::testing::ElementsAre;
using ::testing::IsEmpty;

namespace {

MountCourse CourseForReply(const char* reply) {
  FakeService::Instance().QueueText(reply);
  CDiskServiceClient service;
  return CourseForGivenFile(ProbeDisk(service, u"C:\\disk.zel"));
}

}  // namespace

TEST(MountRules, TheEmptyPassphraseProbeDecidesTheCourse) {
  EXPECT_EQ(CourseForReply("1\n0"), MountCourse::DrivePage);
  EXPECT_EQ(CourseForReply("1\n4"), MountCourse::DrivePage);  // accepted: the reason does not matter
  EXPECT_EQ(CourseForReply("0\n4"), MountCourse::DriveThenPassphrase);
  EXPECT_EQ(CourseForReply("0\n1"), MountCourse::Refused);
  EXPECT_EQ(CourseForReply("0\n2"), MountCourse::Refused);
  EXPECT_EQ(CourseForReply("0\n0"), MountCourse::Refused);
  EXPECT_EQ(CourseForGivenFile(ProbeResult{}), MountCourse::Refused);  // no service at all
  EXPECT_EQ(FakeService::Instance().Requests().back(), std::string("StorageAccessible\nC:\\disk.zel\n\n\0", 32));
}

TEST(MountRules, TheLocationListIsEmptyEntryHistoryThenBrowse) {
  EXPECT_THAT(LocationListItems({}), ElementsAre(u"", u"Browse..."));
  EXPECT_THAT(LocationListItems({u"C:\\b.zel", u"C:\\a.zel"}), ElementsAre(u"", u"C:\\b.zel", u"C:\\a.zel", u"Browse..."));
}

TEST(UnmountView, FixedDriveShowsItsEntryOrThatItIsNotMounted) {
  const MountSlots slots = ParseMountList(u"G:\tC:\\disks\\g.zel\t1\n");
  UnmountView view = ComputeUnmountView(u"G:", slots);
  EXPECT_FALSE(view.showList);
  EXPECT_EQ(view.entryText, u"G: C:\\disks\\g.zel");
  EXPECT_EQ(std::u16string(view.buttonText), u"Finish");
  EXPECT_TRUE(view.buttonEnabled);

  view = ComputeUnmountView(u"F:", slots);
  EXPECT_FALSE(view.showList);
  EXPECT_EQ(view.entryText, u"F: (Not currently mounted)");
  EXPECT_EQ(std::u16string(view.buttonText), u"Finish");
  EXPECT_FALSE(view.buttonEnabled);
}

TEST(UnmountView, ListModeShowsEveryDiskOrSaysThereIsNone) {
  UnmountView view = ComputeUnmountView(u"", ParseMountList(u"G:\tC:\\g.zel\t1\nE:\tC:\\e.zel\t2\n"));
  EXPECT_TRUE(view.showList);
  EXPECT_THAT(view.items, ElementsAre(u"E: C:\\e.zel", u"G: C:\\g.zel"));
  EXPECT_EQ(std::u16string(view.buttonText), u"Unmount");
  EXPECT_TRUE(view.buttonEnabled);

  view = ComputeUnmountView(u"", ParseMountList(u""));
  EXPECT_FALSE(view.showList);
  EXPECT_THAT(view.items, IsEmpty());
  EXPECT_EQ(view.entryText, u"No drives are currently mounted");
  EXPECT_EQ(std::u16string(view.buttonText), u"Unmount");
  EXPECT_FALSE(view.buttonEnabled);
}
