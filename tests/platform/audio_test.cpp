// audio_test.cpp -- a device's 32-bit byte count widened so the position never wraps
#include <gtest/gtest.h>

#include <cstdint>

#include "platform/backend.h"

namespace {

struct WidenCase {
  uint64_t position;
  uint32_t reported;
  uint64_t widened;
};

class WidenPositionTest : public ::testing::TestWithParam<WidenCase> {};

TEST_P(WidenPositionTest, FollowsTheCountAcrossWraps) {
  const WidenCase c = GetParam();
  EXPECT_EQ(platform::backend::widen_position(c.position, c.reported), c.widened);
}

INSTANTIATE_TEST_SUITE_P(
    Counts, WidenPositionTest,
    ::testing::Values(WidenCase{0, 0, 0},                                  // nothing played yet
                      WidenCase{1000, 4528, 4528},                         // plain progress
                      WidenCase{0xFFFFFF00u, 0x40, 0x100000040u},          // the first wrap
                      WidenCase{0x100000040u, 0x1000, 0x100001000u},       // after it
                      WidenCase{0x3FFFFFFF0u, 0x10, 0x400000010u},         // a later wrap
                      WidenCase{0x200000000u + 500, 500, 0x200000000u + 500}));  // no move

// Hours of polling at the mixing thread's pace: the widened position is the true byte count.
TEST(WidenPosition, TenHoursAtFortyFourKilohertz) {
  constexpr uint64_t BYTES_PER_POLL = 44100 * 4 / 500;  // a poll every 2 ms
  constexpr uint64_t POLLS = uint64_t{10} * 3600 * 500;
  uint64_t position = 0;
  uint64_t played = 0;
  for (uint64_t i = 0; i < POLLS; ++i) {
    played += BYTES_PER_POLL;
    position = platform::backend::widen_position(position, static_cast<uint32_t>(played));
  }
  EXPECT_EQ(position, played);
  EXPECT_GT(played, uint64_t{1} << 32);
}

}  // namespace
