// The tool's --version and --help, answered before any window opens.
#include <gtest/gtest.h>
#include <quillstone/Version.h>

#include <string>
#include <string_view>
#include <vector>

#include "app/StartupOptions.h"

namespace quillstone {
namespace {

std::optional<std::string> For(std::vector<std::string_view> args) {
  return TextInsteadOfWindow(args);
}

TEST(StartupOptionsTest, VersionIsTheProjectsOne) {
  EXPECT_EQ(For({"--version"}), std::string("quillstone ") + kVersion + "\n");
  EXPECT_EQ(For({"-platform", "offscreen", "--version"}),
            std::string("quillstone ") + kVersion + "\n");
}

TEST(StartupOptionsTest, HelpNamesTheOptionsAndWhereTheSettingsGo) {
  for (const auto* option : {"--help", "-h"}) {
    const auto text = For({option});
    ASSERT_TRUE(text.has_value()) << option;
    EXPECT_EQ(text->rfind("Usage: quillstone", 0), 0u);
    for (const char* word : {"--version", "--help", "~/.config/quillstone/", "options.ini"}) {
      EXPECT_NE(text->find(word), std::string::npos) << word;
    }
  }
}

TEST(StartupOptionsTest, AnyOtherCommandLineOpensTheWindow) {
  EXPECT_EQ(For({}), std::nullopt);
  EXPECT_EQ(For({"-platform", "xcb"}), std::nullopt);
  EXPECT_EQ(For({"--versions"}), std::nullopt);
}

}  // namespace
}  // namespace quillstone
