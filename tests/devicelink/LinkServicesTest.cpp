#include <gtest/gtest.h>

#include <set>
#include <vector>

#include "devicelink/DeviceApi.h"

namespace quillstone {
namespace {

std::vector<int> DrawKeys(const LinkServices& services, int count) {
  std::vector<int> keys;
  for (int i = 0; i < count; ++i) keys.push_back(services.drawScrambleKey());
  return keys;
}

TEST(LinkServicesTest, StartsWithTheSystemServices) {
  const LinkServices& services = CurrentLinkServices();
  EXPECT_EQ(services.device, &CapstanDeviceApi());
  EXPECT_EQ(services.arp, &SystemArpCacheFlusher());
  EXPECT_EQ(services.processes, &SystemProcessTable());
  EXPECT_EQ(services.sleeper, &SystemSleeper());
  ASSERT_TRUE(services.processPendingMessages);
  services.processPendingMessages();  // does nothing outside the window
  ASSERT_TRUE(services.drawScrambleKey);
}

TEST(LinkServicesTest, KeysCoverZeroThrough254) {
  std::set<int> seen;
  for (int key : DrawKeys(CurrentLinkServices(), 20000)) {
    ASSERT_GE(key, 0);
    ASSERT_LE(key, 254);
    seen.insert(key);
  }
  EXPECT_EQ(seen.size(), 255u);
}

TEST(LinkServicesTest, ACopyDrawsFromTheSameSequence) {
  const LinkServices copy = CurrentLinkServices();
  const std::vector<int> fromCopy = DrawKeys(copy, 16);
  // Had the copy its own engine, the original would now repeat the same keys.
  EXPECT_NE(DrawKeys(CurrentLinkServices(), 16), fromCopy);
}

TEST(LinkServicesTest, ScopeReplacesAndRestores) {
  Sleeper* const systemSleeper = CurrentLinkServices().sleeper;
  int pumped = 0;
  {
    LinkServices replacement = CurrentLinkServices();
    replacement.processPendingMessages = [&pumped] { ++pumped; };
    replacement.sleeper = nullptr;
    ScopedLinkServices scope(replacement);
    EXPECT_EQ(CurrentLinkServices().sleeper, nullptr);
    CurrentLinkServices().processPendingMessages();
  }
  EXPECT_EQ(pumped, 1);
  EXPECT_EQ(CurrentLinkServices().sleeper, systemSleeper);
  CurrentLinkServices().processPendingMessages();
  EXPECT_EQ(pumped, 1);
}

}  // namespace
}  // namespace quillstone
