#include "settings/ini_file.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "settings/settings_test_support.h"
#include "support/test_support.h"

namespace vk {
namespace {

using test::OpenAt;
using test::ReadFile;
using test::RecordingFeedback;
using test::TempDir;
using test::WriteFile;

bool Exists(const std::string& path) {
  struct stat st;
  return ::lstat(path.c_str(), &st) == 0;
}

mode_t ModeOf(const std::string& path) {
  struct stat st;
  EXPECT_EQ(::stat(path.c_str(), &st), 0) << path;
  return st.st_mode & 07777;
}

TEST(OpenStore, MissingFileProbedAndLeftAbsentUntilFirstWrite) {
  TempDir dir;
  const std::string path = dir.File("Velkaro.ini");
  TTheIniFile ini;
  OpenAt(ini, path, "Options");
  EXPECT_EQ(ini.ErrorCode(), 2);
  EXPECT_TRUE(ini.Open());
  EXPECT_EQ(ini.OpenedPath(), path);
  EXPECT_FALSE(Exists(path));

  EXPECT_EQ(ini.ReadNumber("OptCB.ItemIndex", 4), 4);
  EXPECT_EQ(ini.ErrorCode(), -1);
  EXPECT_FALSE(Exists(path));
  ini.ClearSection();
  EXPECT_EQ(ini.ErrorCode(), 0);
  EXPECT_FALSE(Exists(path));  // nothing to remove: no file made for it

  ini.WriteNumber("OptCB.ItemIndex", 3);
  EXPECT_EQ(ini.ErrorCode(), 0);
  EXPECT_EQ(ReadFile(path), "[Options]\r\nOptCB.ItemIndex=3\r\n");
}

TEST(OpenStore, ProbeFailureClosesTheStoreWithTheErrorNumber) {
  TempDir dir;
  WriteFile(dir.File("plain"), "x");
  std::filesystem::create_directory(dir.File("Velkaro.ini"));
  WriteFile(dir.File("Velkaro.ini/keep"), "inside");
  struct Case {
    std::string path;
    int errorCode;
  } cases[] = {
      {dir.File("missing-folder/Velkaro.ini"), ENOENT},
      {dir.File("plain/sub/Velkaro.ini"), ENOTDIR},
      {dir.File("Velkaro.ini"), EISDIR},  // a folder where the file belongs
  };
  for (const auto& c : cases) {
    RecordingFeedback feedback;
    TTheIniFile ini(&feedback);
    OpenAt(ini, c.path, "Options");
    EXPECT_EQ(ini.ErrorCode(), c.errorCode) << c.path;
    EXPECT_FALSE(ini.Open()) << c.path;
    EXPECT_TRUE(ini.OpenedPath().empty()) << c.path;
    EXPECT_TRUE(ini.ReadFlag("CreateBak", true)) << c.path;
    EXPECT_EQ(ini.ErrorCode(), -1) << c.path;
    ini.WriteFlag("CreateBak", false);
    EXPECT_EQ(ini.ErrorCode(), -1) << c.path;
    EXPECT_TRUE(feedback.errors.empty()) << c.path;
  }
  EXPECT_FALSE(Exists(dir.File("missing-folder")));
  EXPECT_EQ(ReadFile(dir.File("Velkaro.ini/keep")), "inside");
}

TEST(OpenStore, ReadOnlyFileMadeWritableWithoutMessage) {
  TempDir dir;
  const std::string path = dir.File("Velkaro.ini");
  WriteFile(path, "[Options]\r\nCreateBak=1\r\n");
  ASSERT_EQ(::chmod(path.c_str(), 0444), 0);
  RecordingFeedback feedback;
  TTheIniFile ini(&feedback);
  OpenAt(ini, path, "Options");
  EXPECT_EQ(ini.ErrorCode(), 0);
  EXPECT_TRUE(ini.Open());
  EXPECT_EQ(ModeOf(path), 0644u);
  EXPECT_TRUE(feedback.errors.empty());
  ini.WriteFlag("CreateBak", false);
  EXPECT_EQ(ReadFile(path), "[Options]\r\nCreateBak=0\r\n");
}

// Sets or clears the file system's immutable flag; false where the system does not allow it.
bool SetImmutable(const std::string& path, bool on) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  int flags = 0;
  bool ok = ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
  if (ok) {
    flags = on ? (flags | FS_IMMUTABLE_FL) : (flags & ~FS_IMMUTABLE_FL);
    ok = ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
  }
  ::close(fd);
  return ok;
}

class ImmutableGuard {
 public:
  explicit ImmutableGuard(std::string path) : path_(std::move(path)) {
    set_ = SetImmutable(path_, true);
  }
  ~ImmutableGuard() {
    if (set_) SetImmutable(path_, false);
  }
  bool set() const { return set_; }

 private:
  std::string path_;
  bool set_ = false;
};

TEST(OpenStore, FlagThatCannotBeRemovedGivesFiveAndTheMessage) {
  TempDir dir;
  const std::string path = dir.File("Velkaro.ini");
  WriteFile(path, "[Options]\r\nCreateBak=1\r\n");
  ASSERT_EQ(::chmod(path.c_str(), 0444), 0);
  ImmutableGuard immutable(path);
  if (!immutable.set()) GTEST_SKIP() << "the file system does not allow immutable files here";

  RecordingFeedback feedback;
  TTheIniFile ini(&feedback);
  OpenAt(ini, path, "Options");
  EXPECT_EQ(ini.ErrorCode(), 5);
  EXPECT_FALSE(ini.Open());
  EXPECT_EQ(feedback.errors,
            std::vector<std::string>{"Kann Schreibschutz von " + path +
                                     " nicht entfernen! / Can't remove R/W flag."});
  EXPECT_FALSE(ini.ReadFlag("CreateBak", false));
  EXPECT_EQ(ini.ErrorCode(), -1);

  TTheIniFile silent;  // without feedback the message is dropped
  OpenAt(silent, path, "Options");
  EXPECT_EQ(silent.ErrorCode(), 5);
  EXPECT_EQ(ReadFile(path), "[Options]\r\nCreateBak=1\r\n");
}

TEST(TTheIniFile, NotReadyUntilOpenedAgain) {
  TempDir dir;
  const std::string path = dir.File("Velkaro.ini");
  WriteFile(path, "[Options]\r\nCreateBak=1\r\n");
  TTheIniFile ini;
  OpenAt(ini, path, "Options");
  ASSERT_TRUE(ini.Open());
  ini.SetIniFileName(path);
  EXPECT_FALSE(ini.Open());

  std::vector<std::string> list = {"kept"};
  ini.ReadSectionLines(list, false);
  EXPECT_EQ(ini.ErrorCode(), -1);
  EXPECT_EQ(list, std::vector<std::string>{"kept"});
  EXPECT_FALSE(ini.ReadFlag("CreateBak", false));
  EXPECT_EQ(ini.ErrorCode(), -1);
  EXPECT_EQ(ini.ReadNumber("CreateBak", 9), 9);
  EXPECT_EQ(ini.ErrorCode(), -1);
  ini.WriteText("CreateBak", "0");
  EXPECT_EQ(ini.ErrorCode(), -1);
  ini.ClearSection();
  EXPECT_EQ(ini.ErrorCode(), -1);
  EXPECT_EQ(ReadFile(path), "[Options]\r\nCreateBak=1\r\n");

  ini.SetOpen(true);
  EXPECT_TRUE(ini.ReadFlag("CreateBak", false));
  EXPECT_EQ(ini.ErrorCode(), 0);
  ini.SetSection("");
  EXPECT_EQ(ini.ReadNumber("CreateBak", 9), 9);
  EXPECT_EQ(ini.ErrorCode(), -1);
}

TEST(TTheIniFile, ReadNumberCodes) {
  struct Case {
    std::optional<std::string> stored;  // nullopt: no such key
    std::int32_t result;
    std::int32_t errorCode;
  } cases[] = {
      {"7", 7, 0},          {" 7 ", 7, 0},          {"\"7\"", 7, 0},      {"-5", -5, 0},
      {"$1F", 31, 0},       {"0x10", 16, 0},        {"yes", 42, -2},      {"", 42, -2},
      {"7x", 42, -2},       {"2147483648", 42, -2}, {"INIERROR", 42, -1}, {"\"INIERROR\"", 42, -1},
      {"IniError", 42, -2}, {std::nullopt, 42, -1},
  };
  TempDir dir;
  const std::string path = dir.File("Velkaro.ini");
  for (const auto& c : cases) {
    WriteFile(path, c.stored ? "[S]\r\nk=" + *c.stored + "\r\n" : "[S]\r\nother=1\r\n");
    TTheIniFile ini;
    OpenAt(ini, path, "S");
    EXPECT_EQ(ini.ReadNumber("K", 42), c.result) << c.stored.value_or("<missing>");
    EXPECT_EQ(ini.ErrorCode(), c.errorCode) << c.stored.value_or("<missing>");
  }
}

TEST(TTheIniFile, ReadFlagCodes) {
  struct Case {
    std::optional<std::string> stored;
    bool withDefaultFalse, withDefaultTrue;
    std::int32_t errorCode;
  } cases[] = {
      {"1", true, true, 0},
      {" 1 ", true, true, 0},
      {"'1'", true, true, 0},
      {"0", false, false, 0},
      {"01", false, false, 0},
      {"2", false, false, 0},
      {"-1", false, false, 0},
      {"$1", false, false, 0},
      {"yes", false, true, 0},
      {"", false, true, 0},
      {"true", false, true, 0},
      {"INIERROR", false, true, -1},
      {std::nullopt, false, true, -1},
  };
  TempDir dir;
  const std::string path = dir.File("Velkaro.ini");
  for (const auto& c : cases) {
    WriteFile(path, c.stored ? "[Options]\r\nCreateBak=" + *c.stored + "\r\n" : "[Options]\r\n");
    TTheIniFile ini;
    OpenAt(ini, path, "Options");
    EXPECT_EQ(ini.ReadFlag("CreateBak", false), c.withDefaultFalse)
        << c.stored.value_or("<missing>");
    EXPECT_EQ(ini.ErrorCode(), c.errorCode) << c.stored.value_or("<missing>");
    EXPECT_EQ(ini.ReadFlag("CreateBak", true), c.withDefaultTrue) << c.stored.value_or("<missing>");
    EXPECT_EQ(ini.ErrorCode(), c.errorCode) << c.stored.value_or("<missing>");
  }
}

TEST(TTheIniFile, WritesAcrossSectionsByteForByte) {
  TempDir dir;
  const std::string path = dir.File("Velkaro.ini");
  TTheIniFile ini;
  OpenAt(ini, path, "Options");
  ini.WriteFlag("CreateBak", true);
  ini.WriteFlag("IgnoreMetaTags", false);
  ini.WriteNumber("OptCB.ItemIndex", 3);
  ini.SetSection("VelkaroWindowPosition");
  ini.WriteNumber("Top", -2147483647 - 1);
  ini.WriteText("Left", "  12  ");
  ini.SetSection("options");
  ini.WriteNumber("optcb.itemindex", 6);
  ini.WriteText("Extra", "a=b");
  EXPECT_EQ(ini.ErrorCode(), 0);
  EXPECT_EQ(ReadFile(path),
            "[Options]\r\nCreateBak=1\r\nIgnoreMetaTags=0\r\nOptCB.ItemIndex=6\r\nExtra=a=b\r\n"
            "[VelkaroWindowPosition]\r\nTop=-2147483648\r\nLeft=\"  12  \"\r\n");
  // A value comes back as it was written, blanks and all; as a number it is no number.
  ini.SetSection("VelkaroWindowPosition");
  std::vector<std::string> lines;
  ini.ReadSectionLines(lines, true);
  EXPECT_EQ(lines, (std::vector<std::string>{"-2147483648", "  12  "}));
  EXPECT_EQ(ini.ReadNumber("Left", 0), 0);
  EXPECT_EQ(ini.ErrorCode(), -2);
  ini.SetSection("Options");
  ini.WriteText("", "nothing");
  EXPECT_EQ(ini.ErrorCode(), 0);
  ini.ClearSection();
  EXPECT_EQ(ReadFile(path), "[VelkaroWindowPosition]\r\nTop=-2147483648\r\nLeft=\"  12  \"\r\n");
}

TEST(TTheIniFile, ReplaceSectionsInOneWrite) {
  TempDir dir;
  const std::string path = dir.File("Velkaro.ini");
  WriteFile(path, "[A]\r\nold=1\r\n[Options]\r\nCreateBak=1\r\n[b]\r\nx=2\r\n");
  TTheIniFile ini;
  OpenAt(ini, path, "a");
  ini.ReplaceSection({{"0", "zero"}, {"1", "one"}});
  EXPECT_EQ(ini.ErrorCode(), 0);
  EXPECT_EQ(ReadFile(path), "[Options]\r\nCreateBak=1\r\n[b]\r\nx=2\r\n[a]\r\n0=zero\r\n1=one\r\n");
  ini.ReplaceSections({{"B", {{"y", "3"}}}, {"A", {}}, {"C", {{"k", "v"}}}});
  EXPECT_EQ(ReadFile(path), "[Options]\r\nCreateBak=1\r\n[B]\r\ny=3\r\n[C]\r\nk=v\r\n");

  ini.SetSection("");
  ini.ReplaceSections({{"Options", {}}});
  EXPECT_EQ(ini.ErrorCode(), -1);
  EXPECT_EQ(ReadFile(path), "[Options]\r\nCreateBak=1\r\n[B]\r\ny=3\r\n[C]\r\nk=v\r\n");
}

TEST(TTheIniFile, ReadSectionLinesInFileOrder) {
  TempDir dir;
  const std::string path = dir.File("Velkaro.ini");
  WriteFile(path, "[S]\r\n1=one\r\n0= \"zero\" \r\nx = a=b\r\n[Empty]\r\n; only a note\r\n");
  TTheIniFile ini;
  OpenAt(ini, path, "s");
  std::vector<std::string> list = {"old"};
  ini.ReadSectionLines(list, false);
  EXPECT_EQ(ini.ErrorCode(), 0);
  EXPECT_EQ(list, (std::vector<std::string>{"1=one", "0=zero", "x=a=b"}));
  ini.ReadSectionLines(list, true);
  EXPECT_EQ(list, (std::vector<std::string>{"one", "zero", "a=b"}));

  for (const char* section : {"Empty", "Missing"}) {
    ini.SetSection(section);
    list = {"old"};
    ini.ReadSectionLines(list, false);
    EXPECT_EQ(ini.ErrorCode(), -1) << section;
    EXPECT_TRUE(list.empty()) << section;
  }
}

TEST(TTheIniFile, NothingIsCached) {
  TempDir dir;
  const std::string path = dir.File("Velkaro.ini");
  TTheIniFile reader;
  OpenAt(reader, path, "Options");
  TTheIniFile writer;
  OpenAt(writer, path, "Options");
  writer.WriteNumber("OptCB.ItemIndex", 2);
  EXPECT_EQ(reader.ReadNumber("OptCB.ItemIndex", 0), 2);
  WriteFile(path, "[Options]\nOptCB.ItemIndex=5\n");  // another program edits the file
  EXPECT_EQ(reader.ReadNumber("OptCB.ItemIndex", 0), 5);
  writer.WriteNumber("OptCB.ItemIndex", 1);
  EXPECT_EQ(reader.ReadNumber("OptCB.ItemIndex", 0), 1);
  EXPECT_EQ(ReadFile(path), "[Options]\nOptCB.ItemIndex=1\n");
}

TEST(TTheIniFile, WhereTheFileIsLooked) {
  TempDir dir;
  TTheIniFile ini;
  EXPECT_EQ(ini.IniLocation(), TIniLocation::loWinDir);
  ini.SetDefFilePath(dir.Path());
  EXPECT_EQ(ini.DefFilePath(), dir.Path() + "/");
  ini.SetDefFilePath(dir.Path() + "/");
  EXPECT_EQ(ini.DefFilePath(), dir.Path() + "/");

  ini.SetIniLocation(TIniLocation::loDefUser);
  ini.SetIniFileName("Velkaro.ini");
  ini.SetSection("Options");
  ini.SetOpen(true);
  EXPECT_EQ(ini.OpenedPath(), dir.File("Velkaro.ini"));
  ini.WriteFlag("CreateBak", true);
  EXPECT_EQ(ReadFile(dir.File("Velkaro.ini")), "[Options]\r\nCreateBak=1\r\n");

  char exe[4096];
  const ssize_t n = ::readlink("/proc/self/exe", exe, sizeof(exe) - 1);
  ASSERT_GT(n, 0);
  const std::string exePath(exe, static_cast<std::size_t>(n));
  const std::string name = "velkaro-probe-" + std::to_string(::getpid()) + ".ini";
  ini.SetIniLocation(TIniLocation::loProgDir);
  ini.SetIniFileName(name);
  ini.SetOpen(true);
  EXPECT_EQ(ini.OpenedPath(), exePath.substr(0, exePath.rfind('/') + 1) + name);
  EXPECT_FALSE(Exists(ini.OpenedPath()));
}

}  // namespace
}  // namespace vk
