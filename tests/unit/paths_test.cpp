// Default file names, free drive letters and the Disconnect page's drive.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <set>

#include "common/text.h"
#include "common/unique_file_name.h"
#include "utility/free_drives.h"
#include "utility/full_path.h"
#include "utility/unmount_rules.h"

using ::testing::ElementsAre;
using ::testing::IsEmpty;

namespace {

std::function<bool(const std::u16string&)> Taken(std::set<std::u16string> paths) {
  return [paths = std::move(paths)](const std::u16string& path) { return paths.count(path) > 0; };
}

constexpr size_t kCapacity = 261;

}  // namespace

TEST(UniqueFileName, NumbersTheNameWhileItIsTaken) {
  const auto taken = Taken({u"C:\\Data\\My Virtual Disk.zel", u"C:\\Data\\My Virtual Disk 1.zel"});
  EXPECT_EQ(UniqueFileName(u"C:\\Data", kDefaultDiskFileName, kCapacity, taken), u"C:\\Data\\My Virtual Disk 2.zel");
  EXPECT_EQ(UniqueFileName(u"C:\\Data\\", kDefaultDiskFileName, kCapacity, taken), u"C:\\Data\\My Virtual Disk 2.zel");
  EXPECT_EQ(UniqueFileName(u"C:\\Other", kDefaultDiskFileName, kCapacity, taken), u"C:\\Other\\My Virtual Disk.zel");
  EXPECT_EQ(UniqueFileName(u"", kDefaultDiskFileName, kCapacity, taken), u"My Virtual Disk.zel");
}

TEST(UniqueFileName, NumbersBeforeTheLastDotOnly) {
  const auto taken = Taken({u"D:\\a.b.zel"});
  EXPECT_EQ(UniqueFileName(u"D:\\", u"a.b.zel", kCapacity, taken), u"D:\\a.b 1.zel");
  EXPECT_EQ(UniqueFileName(u"D:\\", u"noext", kCapacity, Taken({u"D:\\noext"})), u"D:\\noext 1");
}

TEST(UniqueFileName, GivesUpAtNinetyNine) {
  EXPECT_EQ(UniqueFileName(u"C:\\Full", kDefaultDiskFileName, kCapacity, [](const std::u16string&) { return true; }),
            u"C:\\Full\\My Virtual Disk 99.zel");
}

TEST(UniqueFileName, ProposesNothingThatDoesNotFitWhole) {
  // 240 characters of folder leave room in 261 for the name and the NUL, not for a number too.
  const std::u16string folder = u"C:\\" + std::u16string(237, u'd');
  const std::u16string path = folder + u"\\My Virtual Disk.zel";
  ASSERT_EQ(path.size(), kCapacity - 1);
  EXPECT_EQ(UniqueFileName(folder, kDefaultDiskFileName, kCapacity, Taken({})), path);
  EXPECT_EQ(UniqueFileName(folder, kDefaultDiskFileName, kCapacity, Taken({path})), u"");
  EXPECT_EQ(UniqueFileName(folder + u"d", kDefaultDiskFileName, kCapacity, Taken({})), u"");
  EXPECT_EQ(UniqueFileName(u"C:\\", kDefaultDiskFileName, 0, Taken({})), u"");
}

TEST(FreeDrives, OffersUnusedLettersFromE) {
  const uint32_t a = 1u << 0, c = 1u << 2, d = 1u << 3, e = 1u << 4;
  const auto items = FreeDriveItems(a | c | d | e);
  ASSERT_EQ(items.size(), 21u);
  EXPECT_EQ(items.front(), u"F:");
  EXPECT_EQ(items.back(), u"Z:");
  EXPECT_EQ(FreeDriveItems(c)[0], u"E:");

  const uint32_t eToZ = ((1u << 26) - 1) & ~((1u << 4) - 1);
  EXPECT_THAT(FreeDriveItems(eToZ), IsEmpty());
  EXPECT_THAT(FreeDriveItems(eToZ & ~(1u << ('Q' - 'A'))), ElementsAre(u"Q:"));
  EXPECT_THAT(FreeDriveItems(0), IsEmpty());  // the query failed
}

TEST(FixedDrive, FirstCharacterDecides) {
  EXPECT_EQ(FixedDriveOf(u"e"), u"E:");
  EXPECT_EQ(FixedDriveOf(u"E:"), u"E:");
  EXPECT_EQ(FixedDriveOf(u"g:\\"), u"G:");
  EXPECT_EQ(FixedDriveOf(u"E:\\anything"), u"E:");
  EXPECT_EQ(FixedDriveOf(u"5"), u"");
  EXPECT_EQ(FixedDriveOf(u":E"), u"");
  EXPECT_EQ(FixedDriveOf(u"\u00E9"), u"");
  EXPECT_EQ(FixedDriveOf(u""), u"");
}

TEST(FullPath, OnlyDriveAndNetworkPathsAreFullyQualified) {
  for (const char16_t* full : {u"C:\\disk.zel", u"c:/disks/a.zel", u"C:\\dir/sub\\..\\a.zel",
                               u"\\\\server\\share\\a.zel", u"//server/share/a.zel", u"\\\\?\\C:\\a.zel"}) {
    EXPECT_TRUE(IsFullyQualifiedPath(full)) << ToUtf8(full);
  }
  for (const char16_t* partial :
       {u"disk.zel", u"..\\disk.zel", u"C:disk.zel", u"C:", u"\\disks\\a.zel", u"/disks/a.zel", u"", u"1:\\a.zel"}) {
    EXPECT_FALSE(IsFullyQualifiedPath(partial)) << ToUtf8(partial);
  }
}
