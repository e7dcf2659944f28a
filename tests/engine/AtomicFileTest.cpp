// The atomic write under what it may find beside its target: a full disk,
// devices and pipes at the target's name, links planted at the names of its
// temporaries, temporaries left by a killed run, names near the length
// limit, folders without write permission.

#include "engine/AtomicFile.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "../common/AsNobody.h"
#include "../common/SmallDisk.h"

namespace {

namespace fs = std::filesystem;

std::string Read(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

class AtomicWrite : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = fs::temp_directory_path() /
          ("kalvor-atomic-" + std::to_string(::getpid()) + "-" +
           ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir);
    fs::create_directories(dir);
  }
  void TearDown() override {
    AtomicFile::UseSerialNamesForTests(false);
    fs::permissions(dir, fs::perms::owner_all);
    fs::remove_all(dir);
  }
  std::vector<std::string> Names() const {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(dir)) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }
  fs::path dir;
};

TEST_F(AtomicWrite, ReplacesTheFileWholeAndKeepsItsPermissions) {
  const fs::path target = dir / "a.csv";
  std::ofstream(target) << "old";
  fs::permissions(target, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  EXPECT_EQ(WriteFileAtomically(target.string(), "new\r\n"), "");
  EXPECT_EQ(Read(target), "new\r\n");
  EXPECT_EQ(fs::status(target).permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  EXPECT_EQ(Names(), std::vector<std::string>{"a.csv"});

  // A link to a regular file is written through: the link stays a link.
  fs::create_symlink("a.csv", dir / "link.csv");
  EXPECT_EQ(WriteFileAtomically((dir / "link.csv").string(), "через ссылку"), "");
  EXPECT_TRUE(fs::is_symlink(dir / "link.csv"));
  EXPECT_EQ(Read(target), "через ссылку");
}

// Regression: the final rename replaced a device node or a FIFO with a
// regular file (as root, --control-file /dev/full became a 73-byte file).
TEST_F(AtomicWrite, DevicesPipesAndFoldersAreRefusedAndStayWhatTheyAre) {
  const fs::path fifo = dir / "pipe";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  std::vector<fs::path> targets{fifo, dir};
  const fs::path device = dir / "full";
  if (::geteuid() == 0) {
    ASSERT_EQ(::mknod(device.c_str(), S_IFCHR | 0600, makedev(1, 7)), 0);  // as /dev/full
    targets.push_back(device);
  }
  for (const fs::path& target : targets) {
    const std::string cause = WriteFileAtomically(target.string(), "text");
    EXPECT_NE(cause, "") << target;
    EXPECT_EQ(CheckWritable(target.string()), cause) << target;
  }
  EXPECT_NE(WriteFileAtomically(fifo.string(), "text").find("не обычный файл"), std::string::npos);
  EXPECT_NE(WriteFileAtomically(dir.string(), "text").find("папка"), std::string::npos);
  EXPECT_TRUE(fs::is_fifo(fifo));
  EXPECT_TRUE(fs::is_directory(dir));
  if (::geteuid() == 0) {
    EXPECT_TRUE(fs::is_character_file(device));
  }
  std::vector<std::string> expected{"pipe"};
  if (::geteuid() == 0) expected.insert(expected.begin(), "full");
  EXPECT_EQ(Names(), expected);
}

// Regression: the temporary NAME.part-<pid>-<n> was predictable and opened
// following links, so links planted there made a run overwrite another file.
TEST_F(AtomicWrite, LinksPlantedAtTheTemporaryNamesAreNotFollowed) {
  AtomicFile::UseSerialNamesForTests(true);
  const fs::path victim = dir / "victim";
  std::ofstream(victim) << "keep";
  const fs::path target = dir / "map.csv";
  const std::string prefix = AtomicFile::TemporaryPrefix(target.string()) + std::to_string(::getpid()) + "-";
  for (int i = 0; i < 5; ++i) {
    char serial[9];
    std::snprintf(serial, sizeof serial, "%08x", i);
    fs::create_symlink(victim, prefix + serial);
  }
  EXPECT_EQ(WriteFileAtomically(target.string(), "map"), "");
  EXPECT_EQ(Read(target), "map");
  EXPECT_EQ(Read(victim), "keep");
  for (const auto& e : fs::directory_iterator(dir))
    if (e.path() != victim && e.path() != target) {
      EXPECT_TRUE(fs::is_symlink(e.symlink_status())) << e.path();
    }
}

// Regression: .part- files left by a killed run were never cleaned up.
TEST_F(AtomicWrite, TemporariesOfAWriterThatIsGoneAreRemoved) {
  const fs::path target = dir / "01.dat";
  const std::string prefix = AtomicFile::TemporaryPrefix(target.string());
  // 999999999 is above the largest process id Linux hands out.
  std::ofstream(prefix + "999999999-0badc0de") << "half";
  const std::string live = prefix + std::to_string(::getppid()) + "-00000001";
  std::ofstream(live) << "being written";
  fs::create_directory(prefix + "999999999-folder");
  std::ofstream(dir / "other.part-999999999-0badc0de") << "another target's";
  EXPECT_EQ(WriteFileAtomically(target.string(), "rows"), "");
  EXPECT_FALSE(fs::exists(prefix + "999999999-0badc0de"));
  EXPECT_TRUE(fs::exists(live));
  EXPECT_TRUE(fs::is_directory(prefix + "999999999-folder"));
  EXPECT_TRUE(fs::exists(dir / "other.part-999999999-0badc0de"));
}

// Regression: a valid 254-byte name failed because its temporary's name
// exceeded 255 bytes.
TEST_F(AtomicWrite, NamesUpToTheLimitAreWritten) {
  for (const std::string& name : {std::string(254, 'a'), std::string(255, 'b'),
                                  std::string(240, 'c') + "ёёёёёёё"}) {
    ASSERT_LE(name.size(), 255u);
    const fs::path target = dir / name;
    EXPECT_EQ(WriteFileAtomically(target.string(), "x"), "") << name.size();
    EXPECT_EQ(Read(target), "x");
    EXPECT_EQ(CheckWritable(target.string()), "");
    fs::remove(target);
  }
  EXPECT_TRUE(Names().empty());
}

TEST_F(AtomicWrite, AFullDiskKeepsTheOldFileAndNamesTheCause) {
  SmallDisk disk("size=64k");
  ASSERT_TRUE(disk.Mounted() || ::geteuid() != 0);
  if (!disk.Mounted()) GTEST_SKIP() << "cannot mount a tmpfs (needs root)";
  const fs::path target = disk.Path() / "summary.json";
  std::ofstream(target) << "previous";
  EXPECT_EQ(WriteFileAtomically(target.string(), std::string(80 * 1024, 'x')), "нет места на диске");
  // A stream written line by line, failing in the middle.
  AtomicFile file;
  ASSERT_TRUE(file.Open(target.string()));
  for (int i = 0; i < 20000 && file.Stream(); ++i) file.Stream() << "a line of a result file\r\n";
  EXPECT_FALSE(file.Commit());
  EXPECT_EQ(file.Error(), "нет места на диске");
  EXPECT_EQ(Read(target), "previous");
  EXPECT_EQ(std::distance(fs::directory_iterator(disk.Path()), fs::directory_iterator()), 1);
  EXPECT_NE(CheckWritable(target.string(), 1e6).find("нет места на диске"), std::string::npos);
}

TEST_F(AtomicWrite, CheckWritableNamesTheMissingOrClosedFolder) {
  const std::string missing = (dir / "no" / "such").string();
  EXPECT_EQ(CheckWritable(missing + "/map.csv"), "нет такой папки " + missing);
  EXPECT_EQ(WriteFileAtomically(missing + "/map.csv", "x"), "нет такой папки");
  std::ofstream(dir / "plain") << "a file, not a folder";
  EXPECT_EQ(CheckWritable((dir / "plain" / "map.csv").string()), "нет такой папки " + (dir / "plain").string());
  EXPECT_EQ(CheckWritable((dir / "ok.csv").string()), "");

  const fs::path closed = dir / "closed";
  fs::create_directory(closed);
  fs::permissions(closed, fs::perms::owner_read | fs::perms::owner_exec | fs::perms::group_read |
                              fs::perms::group_exec | fs::perms::others_read | fs::perms::others_exec);
  fs::permissions(dir, fs::perms::owner_all | fs::perms::others_exec | fs::perms::others_read);
  const std::string path = (closed / "map.csv").string();
  EXPECT_EQ(AsNobody([&] {
              const std::string cause = CheckWritable(path);
              const std::string written = WriteFileAtomically(path, "x");
              return cause.find("нет прав на запись в папку " + closed.string()) == 0 &&
                             written == "нет прав на запись"
                         ? 0
                         : 1;
            }),
            0);
  EXPECT_TRUE(fs::is_empty(closed));
}

TEST_F(AtomicWrite, AnOutputThatIsAnInputIsRecognisedUnderAnyName) {
  const fs::path input = dir / "system.txt";
  std::ofstream(input) << "Me; ...";
  fs::create_directory(dir / "sub");
  fs::create_symlink(input, dir / "link.txt");
  EXPECT_TRUE(IsOneOf((dir / "sub" / ".." / "system.txt").string(), {"unrelated", input.string()}));
  EXPECT_TRUE(IsOneOf((dir / "link.txt").string(), {input.string()}));
  EXPECT_FALSE(IsOneOf((dir / "new.txt").string(), {input.string()}));
  EXPECT_FALSE(IsOneOf(input.string(), {}));
}

}  // namespace
