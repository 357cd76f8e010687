// Where the settings files go: beside the program where a file can be made there, else in the
// user's configuration folder, seeded from the program folder's files on the first start.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "platform/SettingsFolder.h"
#include "tests/support/TempDirectory.h"
#include "tests/support/UnwritableFolder.h"

namespace quillstone::testing {
namespace {

const std::vector<std::string> kSettingsFiles = {"options.ini", "IPconfig.ini"};
const std::string kShippedOptions = "WIFI=1\r\n[Config]\r\nPort=5005\r\n";
const std::string kShippedIpConfig = "[Config]\r\nIPRadio=1\r\n";

std::string Separator() {
  return std::string(1, static_cast<char>(std::filesystem::path::preferred_separator));
}

std::vector<std::string> Names(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(Utf8Path(folder))) {
    names.push_back(Utf8Text(entry.path().filename()));
  }
  std::sort(names.begin(), names.end());
  return names;
}

std::string ReadPath(const std::string& path) {
  std::ifstream in(Utf8Path(path), std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

class SettingsFolderTest : public ::testing::Test {
 protected:
  // The administrator's settings in a locked program folder; the answer is that of the one
  // choice made at start.
  std::string ChooseWithLockedProgramFolder() {
    const UnwritableFolder locked(program.Path());
    EXPECT_FALSE(FolderAcceptsNewFiles(program.Path()));
    return ChooseSettingsDirectory(program.Path(), userDir, kSettingsFiles);
  }

  // A program folder with a non-ASCII name, as users name them; the user folder is two levels
  // of which neither exists yet.
  TempDirectory program{"Prüf Stand"};
  TempDirectory home;
  std::string userDir = home.Path() + "config" + Separator() + "quillstone" + Separator();
};

TEST_F(SettingsFolderTest, WritableProgramFolderKeepsTheFilesBesideTheProgram) {
  program.Write("options.ini", kShippedOptions);

  EXPECT_TRUE(FolderAcceptsNewFiles(program.Path()));
  EXPECT_EQ(ChooseSettingsDirectory(program.Path(), userDir, kSettingsFiles), program.Path());

  EXPECT_EQ(Names(program.Path()), std::vector<std::string>{"options.ini"}) << "no probe left";
  EXPECT_FALSE(std::filesystem::exists(Utf8Path(home.Path() + "config")));
}

TEST_F(SettingsFolderTest, LockedProgramFolderMovesTheFilesToTheUserFolderSeededFromIt) {
  program.Write("options.ini", kShippedOptions);
  program.Write("IPconfig.ini", kShippedIpConfig);

  EXPECT_EQ(ChooseWithLockedProgramFolder(), userDir);

  EXPECT_EQ(Names(userDir), (std::vector<std::string>{"IPconfig.ini", "options.ini"}));
  EXPECT_EQ(ReadPath(userDir + "options.ini"), kShippedOptions);
  EXPECT_EQ(ReadPath(userDir + "IPconfig.ini"), kShippedIpConfig);
  EXPECT_EQ(Names(program.Path()), (std::vector<std::string>{"IPconfig.ini", "options.ini"}))
      << "the program folder is left as it was, without a probe";
  EXPECT_EQ(program.Read("options.ini"), kShippedOptions);
}

TEST_F(SettingsFolderTest, LaterStartsKeepTheUsersOwnFilesAndSeedOnlyMissingOnes) {
  program.Write("options.ini", kShippedOptions);
  ASSERT_EQ(ChooseWithLockedProgramFolder(), userDir);
  const std::string users = "WIFI=0\r\n[Config]\r\nPort=4370\r\n";
  std::ofstream(Utf8Path(userDir + "options.ini"), std::ios::binary) << users;
  // The administrator ships a device IP file later on.
  program.Write("IPconfig.ini", kShippedIpConfig);

  EXPECT_EQ(ChooseWithLockedProgramFolder(), userDir);

  EXPECT_EQ(ReadPath(userDir + "options.ini"), users);
  EXPECT_EQ(ReadPath(userDir + "IPconfig.ini"), kShippedIpConfig);
}

TEST_F(SettingsFolderTest, NothingShippedGivesAnEmptyUserFolder) {
  EXPECT_EQ(ChooseWithLockedProgramFolder(), userDir);
  EXPECT_TRUE(std::filesystem::is_directory(Utf8Path(userDir)));
  EXPECT_EQ(Names(userDir), std::vector<std::string>{});
}

TEST_F(SettingsFolderTest, NoKnownUserFolderStaysWithTheProgramFolder) {
  const UnwritableFolder locked(program.Path());
  EXPECT_EQ(ChooseSettingsDirectory(program.Path(), "", kSettingsFiles), program.Path());
}

// A user folder that cannot be made is still the one named: the first write then reports that
// file, the one the user has to look at, rather than the program folder's.
TEST_F(SettingsFolderTest, UserFolderThatCannotBeMadeIsStillTheOneNamed) {
  program.Write("options.ini", kShippedOptions);
  home.Write("config", "a file where the folder should be");
  EXPECT_EQ(ChooseWithLockedProgramFolder(), userDir);
  EXPECT_FALSE(CreateFolderPath(userDir));
}

}  // namespace
}  // namespace quillstone::testing
