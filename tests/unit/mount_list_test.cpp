// Reading the service's list of mounted disks into drive slots.
#include "common/mount_list.h"

#include <gtest/gtest.h>

namespace {

size_t Used(const MountSlots& slots) {
  size_t used = 0;
  for (const MountSlot& slot : slots) used += slot.drive.empty() ? 0 : 1;
  return used;
}

}  // namespace

TEST(ParseMountList, FillsTheSlotOfEachLettersLine) {
  const MountSlots slots = ParseMountList(u"E:\tC:\\disks\\a.zel\t1\nQ:\tD:\\b.zel\t0\n");
  EXPECT_EQ(Used(slots), 2u);
  EXPECT_EQ(slots['E' - 'A'].drive, u"E:");
  EXPECT_EQ(slots['E' - 'A'].path, u"C:\\disks\\a.zel");
  EXPECT_EQ(slots['E' - 'A'].number, 1);
  EXPECT_EQ(slots['Q' - 'A'].path, u"D:\\b.zel");
  EXPECT_EQ(EntryText(slots['E' - 'A']), u"E: C:\\disks\\a.zel");
}

TEST(ParseMountList, SkipsLinesThatAreNotMountedDisks) {
  const MountSlots slots = ParseMountList(
      u"e:\tC:\\lower.zel\t1\n"   // lower-case letter
      u"F:\tC:\\two-fields.zel\n"  // only two fields
      u"\n"                        // empty line
      u"5:\tC:\\digit.zel\t1\n"
      u"\tC:\\no-drive.zel\t1\n");
  EXPECT_EQ(Used(slots), 0u);
}

TEST(ParseMountList, KeepsTheDriveTextWholeAndLaterLinesWin) {
  const MountSlots slots = ParseMountList(u"G:\\\tC:\\old.zel\t1\textra\nG:\tC:\\new.zel\t7");
  EXPECT_EQ(Used(slots), 1u);
  EXPECT_EQ(slots['G' - 'A'].drive, u"G:");
  EXPECT_EQ(slots['G' - 'A'].path, u"C:\\new.zel");
  EXPECT_EQ(slots['G' - 'A'].number, 7);

  EXPECT_EQ(ParseMountList(u"H:\\\tC:\\h.zel\t2\textra")['H' - 'A'].drive, u"H:\\");
}
