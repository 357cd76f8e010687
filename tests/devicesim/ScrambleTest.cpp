#include "devicesim/Scramble.h"

#include <gtest/gtest.h>

#include "tests/capstan/TestSupport.h"

namespace quillstone::devsim {
namespace {

std::string ScrambledValue(std::string_view value, std::uint8_t key) {
  const std::string text = testing::ScrambleOption("~X=" + std::string(value), key);
  return text.substr(3);
}

TEST(UnscrambleValue, RecoversTheWorkedExamples) {
  EXPECT_EQ(UnscrambleValue("C0F0"), "0");
  EXPECT_EQ(UnscrambleValue("C0F1"), "1");
  EXPECT_EQ(UnscrambleValue("c0f1"), "1");
  EXPECT_EQ(UnscrambleValue("C0"), "") << "a key alone is an empty value";
}

TEST(UnscrambleValue, InvertsTheChainForEveryKey) {
  const std::string value = "pass=word \x7F\x80\xFF";
  for (int key = 1; key <= 254; ++key) {
    EXPECT_EQ(UnscrambleValue(ScrambledValue(value, static_cast<std::uint8_t>(key))), value)
        << "key " << key;
  }
}

TEST(UnscrambleValue, RejectsWhatTheScramblerCannotProduce) {
  for (const char* digits : {"", "C", "C0F", "C0G0", "C0 0", "00F0", "FF0F", "C0C0", "plain"}) {
    EXPECT_FALSE(UnscrambleValue(digits).has_value()) << '"' << digits << '"';
  }
}

}  // namespace
}  // namespace quillstone::devsim
