#include "devicesim/OptionStore.h"

#include <gtest/gtest.h>

#include "tests/capstan/TestSupport.h"

namespace quillstone::devsim {
namespace {

TEST(OptionStore, SerialisesAndParsesAwkwardValues) {
  const OptionMap options{{"Plain", "value"},
                          {"Equals", "a=b=c"},
                          {"Lines", "one\ntwo\r\nthree"},
                          {"Back\\slash", "C:\\temp\\n"},
                          {"Empty", ""},
                          {"~OS", "NONE"}};
  EXPECT_EQ(OptionStore::Parse(OptionStore::Serialise(options)), options);
}

TEST(OptionStore, KeepsANameThatStartsLikeAComment) {
  // A client may write "#x=1"; the state file must not read it back as a comment line.
  const OptionMap options{{"#x", "1"}, {"##", "#"}, {"x#", "2"}};
  const std::string text = OptionStore::Serialise(options);
  EXPECT_NE(text.find("\\#x=1\n"), std::string::npos) << text;
  EXPECT_EQ(OptionStore::Parse(text), options);
  EXPECT_TRUE(OptionStore::Parse("#x=1\n").empty()) << "a comment line stays a comment";
}

TEST(OptionStore, SavesEveryChangeAndLoadsItAgain) {
  testing::TempDir dir;
  const auto file = dir.Path() / "state.ini";
  {
    OptionStore store(file);
    store.Load();
    EXPECT_TRUE(store.All().empty());
    store.Set("SSID", "office");
    store.Set("WIFI", "1");
  }
  OptionStore reloaded(file);
  reloaded.Load();
  EXPECT_EQ(reloaded.All(), (OptionMap{{"SSID", "office"}, {"WIFI", "1"}}));
  // Only the state file remains: the temporary file was renamed over it.
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()),
                          std::filesystem::directory_iterator()),
            1);
}

TEST(OptionStore, LeavesTheFileAloneWhenNothingChanges) {
  testing::TempDir dir;
  const auto file = dir.Path() / "state.ini";
  OptionStore store(file);
  store.Set("SSID", "office");
  std::filesystem::remove(file);
  store.Set("SSID", "office");
  EXPECT_FALSE(std::filesystem::exists(file));
  store.Preset("Default", "x");
  EXPECT_FALSE(std::filesystem::exists(file)) << "presets stay in memory";
  store.Set("SSID", "lab");
  EXPECT_EQ(OptionStore::Parse(testing::ReadFileText(file)),
            (OptionMap{{"Default", "x"}, {"SSID", "lab"}}));
}

TEST(OptionStore, KeepsTheOldValueWhenTheFileCannotBeWritten) {
  testing::TempDir dir;
  OptionStore store(dir.Path() / "missing-folder" / "state.ini");
  store.Preset("SSID", "office");
  EXPECT_THROW(store.Set("SSID", "lab"), std::runtime_error);
  EXPECT_EQ(store.Get("SSID"), "office");
}

TEST(OptionStore, KeepsOptionsInMemoryWithoutAFile) {
  OptionStore store;
  store.Load();
  store.Set("SSID", "office");
  EXPECT_EQ(store.Get("SSID"), "office");
  EXPECT_FALSE(store.Get("Other").has_value());
}

}  // namespace
}  // namespace quillstone::devsim
