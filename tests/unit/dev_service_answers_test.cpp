// The development service answers the protocol the way the program expects, through the
// program's own client, with an in-memory machine.
#include "tools/dev_service/dev_service.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <future>
#include <map>
#include <set>
#include <thread>
#include <vector>

#include "common/disk_service_client.h"
#include "common/mount_list.h"
#include "common/text.h"
#include "tests/unit/fake_service.h"
#include "tools/dev_service/disk_image.h"

namespace {

// Files by path, with folders that exist; drive letters C and Z are taken. Every file the
// service opens is noted, and the files it holds open are kept by their handle.
class FakeMachine : public IDevPlatform {
 public:
  FileRead ReadDiskFile(const std::u16string& path) override { return Look(path); }
  FileRead HoldDiskFile(const std::u16string& path) override {
    FileRead file = Look(path);
    if (file.state == FileState::Readable) file.held = Hold(path);
    return file;
  }
  FileRead CreateDiskFile(const std::u16string& path, const std::string& bytes) override {
    if (files.count(path)) return {};
    files[path] = bytes;
    return {FileState::Readable, bytes, Hold(path), IdentityOf(path)};
  }
  void ReleaseDiskFile(HeldFile file) override { held.erase(file); }
  uint32_t LogicalDrives() override { return drives; }
  bool AttachDrive(char16_t letter) override {
    drives |= 1u << (letter - u'A');
    return true;
  }
  void DetachDrive(char16_t letter) override { drives &= ~(1u << (letter - u'A')); }
  std::string RandomBytes(size_t count) override { return std::string(count, static_cast<char>(++seed)); }
  // Not a real key derivation, but one that depends on everything a real one does.
  std::string DeriveVerifier(const std::string& passphrase, const std::string& salt, uint32_t iterations) override {
    std::string verifier(32, '\0');
    const std::string all = passphrase + "|" + salt + "|" + std::to_string(iterations);
    for (size_t i = 0; i < all.size(); ++i) verifier[i % 32] = static_cast<char>(verifier[i % 32] * 31 + all[i]);
    return verifier;
  }

  std::map<std::u16string, std::string> files;
  std::set<std::u16string> folders{u"C:\\disks"};
  std::set<std::u16string> denied;
  std::map<std::u16string, std::u16string> sameFileAs;  // another path of a file in files
  std::function<void(const std::u16string&)> onOpen;     // called as a file is opened
  std::vector<std::u16string> opened;
  std::map<HeldFile, std::u16string> held;
  uint32_t drives = (1u << 2) | (1u << 25);
  int seed = 0;

 private:
  std::u16string Real(const std::u16string& path) const {
    auto alias = sameFileAs.find(path);
    return alias != sameFileAs.end() ? alias->second : path;
  }
  std::string IdentityOf(const std::u16string& path) const { return ToUtf8(Real(path)); }
  FileRead Look(const std::u16string& asked) {
    opened.push_back(asked);
    if (onOpen) onOpen(asked);
    const std::u16string path = Real(asked);
    if (denied.count(path)) return {FileState::AccessDenied, {}, 0, {}};
    if (folders.count(path)) return {FileState::Directory, {}, 0, {}};
    auto it = files.find(path);
    if (it != files.end()) return {FileState::Readable, it->second, 0, IdentityOf(path)};
    const std::u16string folder = path.substr(0, path.rfind(u'\\'));
    return {folders.count(folder) ? FileState::Missing : FileState::MissingFolder, {}, 0, {}};
  }
  HeldFile Hold(const std::u16string& path) {
    held[++m_nLastHeld] = Real(path);
    return m_nLastHeld;
  }
  HeldFile m_nLastHeld = 0;
};

class DevServiceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    FakeService::Instance().SetHandler([this](const std::string& request) { return service.Handle(request); });
  }
  std::pair<int32_t, int32_t> Access(const std::u16string& path, const std::u16string& passphrase) {
    int32_t reason = -1;
    const int32_t result = client.StorageAccessible(path, passphrase, reason);
    return {result, reason};
  }

  FakeMachine machine;
  CDevService service{machine};
  CDiskServiceClient client;
};

using Answer = std::pair<int32_t, int32_t>;

// A request's text as it comes over the pipe, with its NUL.
std::string Wire(std::string text) {
  text.push_back('\0');
  return text;
}

}  // namespace

TEST_F(DevServiceTest, ANewPlainDiskIsCreatedMountedListedAndUnmounted) {
  EXPECT_EQ(Access(u"C:\\disks\\a.zel", u""), Answer(1, 0));  // creatable
  const int32_t number = client.Mount(u"C:\\disks\\a.zel", u"E:", u"Label", u"", 0);
  EXPECT_GT(number, 0);
  EXPECT_EQ(Access(u"C:\\disks\\a.zel", u""), Answer(1, 0));  // now a valid plain disk
  EXPECT_EQ(client.Status(u"E:"), 1);
  EXPECT_EQ(client.Status(u"E:\\"), 1);
  EXPECT_EQ(client.Status(u"F:"), 0);

  const MountSlots slots = ParseMountList(client.List());
  EXPECT_EQ(EntryText(slots['E' - 'A']), u"E: C:\\disks\\a.zel");
  EXPECT_EQ(slots['E' - 'A'].number, number);

  EXPECT_EQ(client.Unmount(u"E: C:\\disks\\a.zel"), 1);
  EXPECT_EQ(client.Status(u"E:"), 0);
  EXPECT_EQ(client.List(), u"");
  EXPECT_EQ(FakeService::Instance().Requests().back(), std::string("ListSize\n\0", 10));  // no List for none
  EXPECT_EQ(client.Unmount(u"E: C:\\disks\\a.zel"), 0);
}

TEST_F(DevServiceTest, AnEncryptedDiskNeedsItsPassphrase) {
  ASSERT_GT(client.Mount(u"C:\\disks\\s.zel", u"G:", u"", u"open sesame", 0), 0);
  ASSERT_EQ(client.Unmount(u"G: C:\\disks\\s.zel"), 1);

  EXPECT_EQ(Access(u"C:\\disks\\s.zel", u""), Answer(0, 4));
  EXPECT_EQ(Access(u"C:\\disks\\s.zel", u"open sesamE"), Answer(0, 4));
  EXPECT_EQ(Access(u"C:\\disks\\s.zel", u"open sesame"), Answer(1, 0));
  EXPECT_EQ(client.Mount(u"C:\\disks\\s.zel", u"G:", u"", u"wrong", 0), 0);
  EXPECT_GT(client.Mount(u"C:\\disks\\s.zel", u"G:", u"", u"open sesame", 0), 0);

  // The file holds a verifier, never the passphrase.
  const std::string& bytes = machine.files[u"C:\\disks\\s.zel"];
  EXPECT_EQ(bytes.find("open sesame"), std::string::npos);
  const auto image = DecodeDiskImage(bytes);
  ASSERT_TRUE(image.has_value());
  EXPECT_TRUE(image->encrypted);
  EXPECT_EQ(image->iterations, CDevService::kIterations);
}

TEST_F(DevServiceTest, FilesItCannotUseAreRefusedWithTheirReason) {
  machine.files[u"C:\\disks\\notes.txt"] = "hello";
  machine.denied.insert(u"C:\\disks\\locked.zel");
  machine.folders.insert(u"C:\\disks\\folder.zel");
  EXPECT_EQ(Access(u"C:\\disks\\notes.txt", u""), Answer(0, 1));
  EXPECT_EQ(Access(u"C:\\disks\\locked.zel", u""), Answer(0, 2));
  EXPECT_EQ(Access(u"C:\\disks\\folder.zel", u""), Answer(0, 3));
  EXPECT_EQ(Access(u"C:\\nowhere\\x.zel", u""), Answer(0, 3));
  EXPECT_EQ(Access(u"", u""), Answer(0, 3));
  EXPECT_EQ(client.Mount(u"C:\\disks\\notes.txt", u"E:", u"", u"", 0), 0);
  EXPECT_EQ(client.Mount(u"C:\\nowhere\\x.zel", u"E:", u"", u"", 0), 0);
  EXPECT_EQ(machine.files.size(), 1u);
}

TEST_F(DevServiceTest, ADriveInUseOrADiskMountedTwiceIsRefused) {
  EXPECT_EQ(client.Mount(u"C:\\disks\\a.zel", u"C:", u"", u"", 0), 0);  // the system's drive
  EXPECT_EQ(client.Mount(u"C:\\disks\\a.zel", u"", u"", u"", 0), 0);
  EXPECT_EQ(client.Mount(u"C:\\disks\\a.zel", u"e:", u"", u"", 0), 0);
  const int32_t first = client.Mount(u"C:\\disks\\a.zel", u"E:", u"", u"", 0);
  EXPECT_GT(first, 0);
  EXPECT_EQ(client.Mount(u"C:\\disks\\b.zel", u"E:", u"", u"", 0), 0);
  EXPECT_EQ(client.Mount(u"c:\\DISKS\\A.zel", u"F:", u"", u"", 0), 0);  // the same file again
  EXPECT_GT(client.Mount(u"C:\\disks\\b.zel", u"F:", u"", u"", 0), first);
}

TEST_F(DevServiceTest, ALabelLongerThanTheDiskFileHoldsIsRefusedBeforeAnyFileIsMade) {
  // Found by fuzzing: a disk made with a longer label never read back as a disk.
  const std::u16string longest(DiskImage::kMaxLabelBytes / 2, u'\u00E9');  // two bytes each in UTF-8
  EXPECT_EQ(client.Mount(u"C:\\disks\\long.zel", u"E:", longest + u"x", u"", 0), 0);
  EXPECT_TRUE(machine.files.empty());
  EXPECT_TRUE(machine.held.empty());
  EXPECT_EQ(client.Status(u"E:"), 0);

  ASSERT_GT(client.Mount(u"C:\\disks\\long.zel", u"E:", longest, u"", 0), 0);
  const auto image = DecodeDiskImage(machine.files[u"C:\\disks\\long.zel"]);
  ASSERT_TRUE(image.has_value());
  EXPECT_EQ(image->label, ToUtf8(longest));
}

TEST_F(DevServiceTest, AtItsEndEveryDiskIsUnmountedAndLetGoOf) {
  const uint32_t drives = machine.drives;
  ASSERT_GT(client.Mount(u"C:\\disks\\a.zel", u"E:", u"", u"", 0), 0);
  ASSERT_GT(client.Mount(u"C:\\disks\\b.zel", u"G:", u"", u"pass", 0), 0);
  service.UnmountAll();
  EXPECT_EQ(machine.drives, drives);
  EXPECT_TRUE(machine.held.empty());
  EXPECT_EQ(client.List(), u"");
}

TEST_F(DevServiceTest, MalformedRequestsGetZero) {
  const std::string bad[] = {
      std::string(),
      std::string("\0", 1),
      "Status\nE:\n",                                // no NUL
      std::string("Status\nE:\0", 10),               // last line without LF
      std::string("Status\n\0E:\n\0", 12),           // a NUL inside
      std::string("Status\nE:\nF:\n\0", 13),         // one argument too many
      std::string("Mount\nC:\\disks\\x.zel\nE:\n\0", 24),  // too few
      std::string("Format\nC:\n\0", 11),
      std::string(CDevService::kMaxRequestBytes, 'x') + std::string("\n\0", 2),
  };
  for (const std::string& request : bad) EXPECT_EQ(service.Handle(request), "0") << request.substr(0, 40);
  EXPECT_TRUE(machine.files.empty());
  // A request of exactly the largest size is one like any other.
  const std::string head = "StorageAccessible\nC:\\disks\\";
  const std::string tail = ".zel\n\n";
  const std::string largest = head + std::string(CDevService::kMaxRequestBytes - head.size() - tail.size() - 1, 'a') +
                              tail + std::string(1, '\0');
  ASSERT_EQ(largest.size(), CDevService::kMaxRequestBytes);
  EXPECT_EQ(service.Handle(largest), "1\n0");
}

TEST_F(DevServiceTest, TheLogNeverShowsThePassphrase) {
  const std::string request("Mount\nC:\\disks\\a.zel\nE:\nLabel\nsecret words\n0\n\0", 45);
  const std::string line = CDevService::Describe(request, "3");
  EXPECT_EQ(line, "Mount C:\\disks\\a.zel on E: -> 3");
  EXPECT_EQ(line.find("secret"), std::string::npos);

  // A path may carry what a terminal would obey (clear the screen, start a forged line).
  const std::string hostile = Wire("StorageAccessible\nC:\\\x1b[2J\x7f\xc2\x9b\t\r\x1b[31mx.zel\n\n");
  EXPECT_EQ(CDevService::Describe(hostile, "0\n1"),
            "StorageAccessible C:\\\\x1B[2J\\x7F\\x9B\\x09\\x0D\\x1B[31mx.zel -> 0 1");
}

TEST_F(DevServiceTest, ADiskAskingForMoreKeyRoundsThanAnyOfOursIsNoDiskOfOurs) {
  // Found by fuzzing: a file asking for billions of rounds kept the service deriving, its lock
  // held, for hours. Whatever asks for more than the limit is refused before any derivation.
  auto encrypted = [this](uint32_t iterations) {
    DiskImage image;
    image.encrypted = true;
    image.iterations = iterations;
    image.salt = std::string(DiskImage::kSaltBytes, 's');
    image.verifier = machine.DeriveVerifier("pass", image.salt, iterations);
    return EncodeDiskImage(image);
  };
  machine.files[u"C:\\disks\\most.zel"] = encrypted(DiskImage::kMaxIterations);
  machine.files[u"C:\\disks\\more.zel"] = encrypted(DiskImage::kMaxIterations + 1);
  machine.files[u"C:\\disks\\huge.zel"] = encrypted(0xFFFFFFFF);

  EXPECT_EQ(Access(u"C:\\disks\\most.zel", u"pass"), Answer(1, 0));
  EXPECT_EQ(Access(u"C:\\disks\\more.zel", u"pass"), Answer(0, 1));
  EXPECT_EQ(Access(u"C:\\disks\\huge.zel", u""), Answer(0, 1));
  EXPECT_EQ(client.Mount(u"C:\\disks\\huge.zel", u"E:", u"", u"pass", 0), 0);
  EXPECT_FALSE(DecodeDiskImage(machine.files[u"C:\\disks\\more.zel"]).has_value());
  EXPECT_TRUE(DecodeDiskImage(machine.files[u"C:\\disks\\most.zel"]).has_value());
}

TEST_F(DevServiceTest, DevicePipeAndRawPathsAreNoDiskFilesAndAreNeverOpened) {
  const std::u16string paths[] = {
      u"\\\\.\\Pipe\\ZelPipe",        u"\\\\.\\C:",          u"\\\\?\\C:\\disks\\a.zel", u"//./pipe/ZelPipe",
      u"\\\\server\\PIPE\\ZelPipe",   u"\\??\\C:\\disks\\a.zel", u"C:\\disks\\CON",         u"C:\\disks\\nul.zel",
      u"C:\\disks\\com1 .zel",      u"C:\\disks\\CONIN$",      u"lpt9.zel",
      u"\\\\server\\MailSlot\\box",
  };
  for (const std::u16string& path : paths) {
    EXPECT_EQ(Access(path, u""), Answer(0, 1)) << ToUtf8(path);
    EXPECT_EQ(client.Mount(path, u"E:", u"", u"", 0), 0) << ToUtf8(path);
  }
  EXPECT_TRUE(machine.opened.empty());
  // Names that only look alike are files like any other.
  EXPECT_EQ(Access(u"C:\\disks\\console.zel", u""), Answer(1, 0));
  EXPECT_EQ(Access(u"C:\\disks\\com10.zel", u""), Answer(1, 0));
}

TEST_F(DevServiceTest, AMountedDiskFileIsHeldOpenUntilItIsUnmountedAndMountedOnlyOnce) {
  ASSERT_GT(client.Mount(u"C:\\disks\\a.zel", u"E:", u"", u"", 0), 0);
  EXPECT_THAT(machine.held, ::testing::ElementsAre(::testing::Pair(::testing::_, u"C:\\disks\\a.zel")));

  // The same file again, by its own path or by another spelling of it: refused, and nothing
  // more is held.
  machine.sameFileAs[u"C:\\disks\\.\\a.zel"] = u"C:\\disks\\a.zel";
  EXPECT_EQ(client.Mount(u"C:\\disks\\a.zel", u"F:", u"", u"", 0), 0);
  EXPECT_EQ(client.Mount(u"C:\\disks\\.\\a.zel", u"F:", u"", u"", 0), 0);
  EXPECT_EQ(machine.held.size(), 1u);
  EXPECT_EQ(client.Status(u"F:"), 0);
  EXPECT_EQ(machine.drives & (1u << 5), 0u);

  // A file that is no disk, or the wrong passphrase: not held either.
  machine.files[u"C:\\disks\\notes.txt"] = "notes";
  EXPECT_EQ(client.Mount(u"C:\\disks\\notes.txt", u"G:", u"", u"", 0), 0);
  EXPECT_EQ(machine.held.size(), 1u);

  ASSERT_EQ(client.Unmount(u"E: C:\\disks\\a.zel"), 1);
  EXPECT_TRUE(machine.held.empty());
  EXPECT_GT(client.Mount(u"C:\\disks\\.\\a.zel", u"F:", u"", u"", 0), 0);
}

TEST_F(DevServiceTest, AFileThatIsSlowToOpenHoldsUpNoOtherClient) {
  // One client names a file whose opening does not end (a path on a server that does not
  // answer, say); everybody else must still be served meanwhile.
  std::promise<void> entered;
  std::promise<void> release;
  std::shared_future<void> released = release.get_future().share();
  machine.onOpen = [&](const std::u16string& path) {
    if (path != u"C:\\disks\\slow.zel") return;
    entered.set_value();
    released.wait_for(std::chrono::seconds(30));
  };
  const std::string slow = Wire("StorageAccessible\nC:\\disks\\slow.zel\n\n");
  std::future<std::string> stalled = std::async(std::launch::async, [&] { return service.Handle(slow); });
  ASSERT_EQ(entered.get_future().wait_for(std::chrono::seconds(10)), std::future_status::ready);

  std::future<bool> others = std::async(std::launch::async, [&] {
    return service.Handle(Wire("Mount\nC:\\disks\\b.zel\nE:\n\n\n0\n")) == "1" &&
           service.Handle(Wire("Status\nE:\n")) == "1" &&
           service.Handle(Wire("ListSize\n")) != "0";
  });
  const bool served = others.wait_for(std::chrono::seconds(10)) == std::future_status::ready;
  release.set_value();
  EXPECT_TRUE(served) << "a request waited for another client's file";
  EXPECT_TRUE(others.get());
  EXPECT_EQ(stalled.get(), "1\n0");
}
