// The fault campaign's seeds 1 to 100: every run ends in an update or in a
// clean failure with its message, a failed run is made good by the next one,
// and the serial number survives.
#include <gtest/gtest.h>

#include <cstdio>

#include "campaign/update_campaign.h"

namespace halv::campaign {
namespace {

constexpr uint32_t kSeeds = 100;

// The campaign is worth only as much as its faults: they must make first runs
// fail, while the seeds without a fault update at once.
TEST(FaultCampaign, EverySeedEndsUpdatedWithItsSerialNumberKept) {
  std::vector<SeedOutcome> outcomes;
  int failed_first = 0;
  for (uint32_t seed = 1; seed <= kSeeds; ++seed) {
    outcomes.push_back(RunSeed(seed));
    const SeedOutcome& o = outcomes.back();
    if (o.first_result < 0) ++failed_first;
    if (o.kind == FaultKind::kNone) {
      EXPECT_EQ(o.first_result, 1) << "seed " << seed;
    }
    EXPECT_LE(o.longest_run_ms, kRunBoundMs) << "seed " << seed;
  }
  printf("%s", OutcomeTable(outcomes).c_str());
  EXPECT_EQ(ProblemReport(outcomes), "");
  EXPECT_GT(failed_first, static_cast<int>(kSeeds) / 4);
}

TEST(FaultCampaign, ASeedRunsTheSameEveryTime) {
  const SeedOutcome a = RunSeed(17);
  const SeedOutcome b = RunSeed(17);
  EXPECT_EQ(a.faults, b.faults);
  EXPECT_EQ(a.first_result, b.first_result);
  EXPECT_EQ(a.longest_run_ms, b.longest_run_ms);
}

}  // namespace
}  // namespace halv::campaign
