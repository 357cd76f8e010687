#include "devicesim/Chaos.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>

namespace quillstone::devsim {
namespace {

using std::chrono::milliseconds;

TEST(Chaos, EveryEightConsecutiveDevicesFromTheStartMeetEveryFault) {
  const std::size_t kinds = AllChaosKinds().size();
  ASSERT_EQ(kinds, 8u);
  for (const std::uint64_t seed : {0ULL, 1ULL, 25ULL, 0xFFFFFFFFFFFFULL}) {
    for (std::size_t block = 0; block < 40; ++block) {
      std::set<ChaosKind> seen;
      for (std::size_t i = 0; i < kinds; ++i)
        seen.insert(DrawChaosFault(seed, block * kinds + i).kind);
      EXPECT_EQ(seen.size(), kinds) << "seed " << seed << ", block " << block;
    }
  }
}

TEST(Chaos, TheSameSeedAndPlaceGiveTheSameFaultAndOtherSeedsOtherOrders) {
  int differentOrders = 0;
  for (std::size_t index = 0; index < 64; ++index) {
    const ChaosFault first = DrawChaosFault(7, index);
    const ChaosFault again = DrawChaosFault(7, index);
    EXPECT_EQ(first.Describe(), again.Describe()) << index;
    if (DrawChaosFault(8, index).kind != first.kind) ++differentOrders;
  }
  EXPECT_GT(differentOrders, 16) << "the seed decides the order";
}

TEST(Chaos, DrawsCountsInTheirRangesAndOptionsFromTheChaosNames) {
  const std::vector<std::string>& names = ChaosOptionNames();
  std::map<ChaosKind, std::set<int>> counts;
  std::set<std::string> options;
  for (std::size_t index = 0; index < 800; ++index) {
    const ChaosFault fault = DrawChaosFault(3, index, milliseconds(321));
    counts[fault.kind].insert(fault.count);
    const bool namesAnOption = fault.kind == ChaosKind::kRefuse ||
                               fault.kind == ChaosKind::kRefuseAlways ||
                               fault.kind == ChaosKind::kLoseAtRestart;
    if (namesAnOption) {
      EXPECT_NE(std::find(names.begin(), names.end(), fault.option), names.end()) << index;
      options.insert(fault.option);
    } else {
      EXPECT_EQ(fault.option, "") << index;
    }
    EXPECT_EQ(fault.delay, fault.kind == ChaosKind::kSlow ? milliseconds(321) : milliseconds(0));
  }
  EXPECT_EQ(counts[ChaosKind::kRefuse], (std::set<int>{1, 2, 3, 4}));
  EXPECT_EQ(*counts[ChaosKind::kDrop].begin(), 1);
  EXPECT_EQ(*counts[ChaosKind::kDrop].rbegin(), 16);
  EXPECT_EQ(counts[ChaosKind::kCorrupt], (std::set<int>{1, 2, 3, 4, 5, 6, 7, 8}));
  EXPECT_EQ(counts[ChaosKind::kHealthy], (std::set<int>{0}));
  EXPECT_EQ(options.size(), names.size()) << "every chaos option is drawn";
}

struct KindCase {
  ChaosFault fault;
  const char* described;
  bool transient;
};

class ChaosKindTest : public ::testing::TestWithParam<KindCase> {};

TEST_P(ChaosKindTest, DescribesItselfAndSaysWhetherItWearsOff) {
  EXPECT_EQ(GetParam().fault.Describe(), GetParam().described);
  EXPECT_EQ(IsTransient(GetParam().fault.kind), GetParam().transient);
}

INSTANTIATE_TEST_SUITE_P(
    EveryKind, ChaosKindTest,
    ::testing::Values(
        KindCase{{ChaosKind::kHealthy, "", 0, {}}, "fault=healthy lasting=none", false},
        KindCase{{ChaosKind::kSlow, "", 0, milliseconds(1200)},
                 "fault=slow delay=1200 lasting=permanent",
                 false},
        KindCase{{ChaosKind::kRefuse, "SSID", 3, {}},
                 "fault=refuse option=SSID count=3 lasting=transient",
                 true},
        KindCase{{ChaosKind::kRefuseAlways, "WIFI", 0, {}},
                 "fault=refuse-always option=WIFI lasting=permanent",
                 false},
        KindCase{{ChaosKind::kDrop, "", 5, {}}, "fault=drop count=5 lasting=transient", true},
        KindCase{{ChaosKind::kCorrupt, "", 2, {}}, "fault=corrupt count=2 lasting=transient", true},
        KindCase{{ChaosKind::kSilent, "", 0, {}}, "fault=silent lasting=permanent", false},
        KindCase{{ChaosKind::kLoseAtRestart, "wifidhcp", 0, {}},
                 "fault=lose-at-restart option=wifidhcp lasting=permanent",
                 false}));

TEST(Chaos, EachKindBecomesItsFaultSettings) {
  EXPECT_EQ(ChaosFault{}.Settings().refusals.size(), 0u);
  EXPECT_FALSE(ChaosFault{}.Settings().silent);
  EXPECT_EQ(ChaosFault({ChaosKind::kSlow, "", 0, milliseconds(150)}).Settings().replyDelay,
            milliseconds(150));
  EXPECT_EQ(ChaosFault({ChaosKind::kRefuse, "SSID", 3, {}}).Settings().refusals,
            (std::map<std::string, int>{{"SSID", 3}}));
  // Never worn off by any run a site or a test makes.
  EXPECT_GT(ChaosFault({ChaosKind::kRefuseAlways, "SSID", 0, {}}).Settings().refusals.at("SSID"),
            1000000);
  EXPECT_EQ(ChaosFault({ChaosKind::kDrop, "", 5, {}}).Settings().closeAfterCommands, 5);
  EXPECT_EQ(ChaosFault({ChaosKind::kCorrupt, "", 2, {}}).Settings().corruptReplies, 2);
  EXPECT_TRUE(ChaosFault({ChaosKind::kSilent, "", 0, {}}).Settings().silent);
  EXPECT_EQ(ChaosFault({ChaosKind::kLoseAtRestart, "WIFI", 0, {}}).Settings().dropAtRestart,
            std::vector<std::string>{"WIFI"});
}

}  // namespace
}  // namespace quillstone::devsim
