// ft2_rules_test.cpp -- FastTracker 2's rules where no reference trace pins them: small
// modules written as pattern text, one channel's state read on every tick and compared with
// values worked out by hand from FT2's arithmetic

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "player/control.h"
#include "player/mixer/mixer.h"
#include "player/replay/replay.h"
#include "tests/player/replay_trace.h"
#include "tests/support/player_support.h"

namespace {

using replay_trace::instrument;
using replay_trace::module;
using replay_trace::pattern;

// What a case reads from channel 0 after each tick.
enum class Field { PERIOD, VOLUME, PLAYED };

struct Ft2Case {
    const char* name;
    std::vector<std::string> rows;  // one channel
    int speed;
    Field field;
    std::vector<int32_t> want;  // one value a tick from the start
    int8_t relative_note = 0;
};

void PrintTo(const Ft2Case& c, std::ostream* os)
{
    *os << c.name;
}

// Runs the case's module by FT2's rules (or the show's) and reads the field on every tick.
std::vector<int32_t> run_ticks(const Ft2Case& c, player::Rules rules)
{
    xmwriter::Instrument plain = instrument();
    plain.samples[0].relative_note = c.relative_note;
    xmwriter::Module m = module(1, {pattern(1, c.rows)}, {0}, {plain, instrument(40)});
    m.speed = static_cast<uint16_t>(c.speed);
    player::Song* song = test_support::load_module(xmwriter::write(m), rules);
    if (song == nullptr) {
        ADD_FAILURE() << "module did not load";
        return {};
    }
    player::voice_pool_create(44100);
    player::song_start(song);
    player::Voice* voice = &player::voice_pool()[0];
    std::vector<int32_t> seen;
    for (size_t t = 0; t < c.want.size(); ++t) {
        voice->direction = 0;
        song->tick_handler(song);
        const player::Channel& channel = song->channels[0];
        switch (c.field) {
        case Field::PERIOD:
            seen.push_back(channel.final_period);
            break;
        case Field::VOLUME:
            seen.push_back(channel.out_volume);
            break;
        case Field::PLAYED:
            seen.push_back(voice->direction == player::DIRECTION_FORWARD);
            break;
        }
    }
    player::song_free(song);
    player::voice_pool_destroy();
    return seen;
}

constexpr int32_t C4 = 4608;  // linear period of C-4 without finetune; 64 a semitone

const Ft2Case CASES[] = {
    // The arpeggio counts FT2's tick counter down from the speed: base, y, x, base, y, x.
    {"ArpeggioRunsBaseYX",
     {"C-4 01 .. 037", "--- .. .. ..."},
     6,
     Field::PERIOD,
     {C4, C4 - 7 * 64, C4 - 3 * 64, C4, C4 - 7 * 64, C4 - 3 * 64, C4}},
    // Above speed 16 the counter reads past FT2's table into the sine bytes: 17 gives y, 16
    // the base note, then the table's own order again.
    {"ArpeggioAboveSpeedSixteenReadsPastTheTable",
     {"C-4 01 .. 037"},
     18,
     Field::PERIOD,
     {C4, C4 - 7 * 64, C4, C4, C4 - 7 * 64, C4 - 3 * 64}},
    // 7xy: nothing on tick 0, then the sine by position 0, 16, 32 (depth 4: 0, 6, 11); the
    // level stays after the row.
    {"TremoloStepsAndLeavesItsLevel",
     {"C-4 01 30 744", "--- .. .. ..."},
     4,
     Field::VOLUME,
     {32, 32, 38, 43, 43, 43}},
    // T21: later ticks only, three on, two off, and a muted end stays muted.
    {"TremorCountsLaterTicksAndStaysMuted",
     {"C-4 01 .. T21", "--- .. .. ..."},
     6,
     Field::VOLUME,
     {64, 64, 64, 64, 0, 0, 0, 0}},
    // EC0 cuts on tick 0; the show's engine would wait for a tick 0 that never comes again.
    {"NoteCutZeroCutsAtOnce", {"C-4 01 .. EC0"}, 3, Field::VOLUME, {0, 0, 0}},
    // ED0 is an ordinary row: the note sounds on tick 0.
    {"NoteDelayZeroPlaysOnTickZero", {"C-4 01 .. ED0"}, 3, Field::PLAYED, {1, 0, 0}},
    // EDy with y at or past the speed never fires: the note is lost.
    {"NoteDelayPastTheRowIsLost",
     {"C-4 01 .. ED5", "--- .. .. ..."},
     3,
     Field::PLAYED,
     {0, 0, 0, 0, 0, 0}},
    // K02 keys off on tick 2; without a volume envelope that is volume 0, until a volume
    // command brings the note back.
    {"KeyOffOnItsTickAndBroughtBack",
     {"C-4 01 .. K02", "--- .. 28 ..."},
     4,
     Field::VOLUME,
     {64, 64, 0, 0, 24, 24}},
    // E1y and E2y each remember their own step (4 period units a step).
    {"FinePortaMemories",
     {"C-4 01 .. E12", "--- .. .. E24", "--- .. .. E10", "--- .. .. E20"},
     1,
     Field::PERIOD,
     {C4 - 8, C4 + 8, C4, C4 + 16}},
    // EAy and EBy too.
    {"FineVolumeSlideMemories",
     {"C-4 01 30 EA4", "--- .. .. EB2", "--- .. .. EA0", "--- .. .. EB0"},
     1,
     Field::VOLUME,
     {36, 34, 38, 36}},
    // E5F gives this note finetune +112, in FT2's 1/16-semitone steps: 4 units lower.
    {"SetFinetuneActsOnTheRowsNote",
     {"C-4 01 .. E5F", "C-4 01 .. ..."},
     1,
     Field::PERIOD,
     {C4 - 56, C4}},
    // A volume-column slide works on the ticks after the first: three steps at speed 4.
    {"VolumeColumnSlideSkipsTickZero",
     {"C-4 01 30 ...", "--- .. 62 ..."},
     4,
     Field::VOLUME,
     {32, 32, 32, 32, 32, 30, 28, 26}},
    // A note the relative note moves past B-9 is ignored: the old one sounds on.
    {"NoteMovedOutOfRangeIsIgnored",
     {"C-4 01 .. ...", "B-7 01 .. ..."},
     1,
     Field::PERIOD,
     {C4 - 40 * 64, C4 - 40 * 64},
     40},
    // A relative note of 100 counts as 71: C-3 sounds as B-8 rather than being out of range.
    {"RelativeNoteStopsAtSeventyOne", {"C-3 01 .. ..."}, 1, Field::PERIOD, {C4 - 59 * 64}, 100},
    // Glissando: the portamento sounds whole semitones, rounded to the nearest, while the
    // period itself slides 12 units a tick: 12 and 24 below round back, 36 below goes on.
    {"GlissandoSoundsSemitones",
     {"C-4 01 .. E31", "D-4 .. .. 303"},
     4,
     Field::PERIOD,
     {C4, C4, C4, C4, C4, C4, C4, C4 - 64}},
    // An instrument number without a note restores the playing sample's defaults (64), not
    // those of the instrument named (40), and does not restart the voice.
    {"InstrumentWithoutNoteKeepsTheSample",
     {"C-4 01 20 ...", "--- 02 .. ..."},
     1,
     Field::VOLUME,
     {16, 64}},
    {"InstrumentWithoutNoteDoesNotRetrigger",
     {"C-4 01 20 ...", "--- 02 .. ..."},
     1,
     Field::PLAYED,
     {1, 0}},
};

class Ft2RulesTest : public testing::TestWithParam<Ft2Case> {};

TEST_P(Ft2RulesTest, ChannelFollowsFt2)
{
    const Ft2Case& c = GetParam();
    EXPECT_EQ(run_ticks(c, player::Rules::FT2), c.want);
}

INSTANTIATE_TEST_SUITE_P(Points, Ft2RulesTest, testing::ValuesIn(CASES),
                         [](const testing::TestParamInfo<Ft2Case>& point) {
                             return std::string(point.param.name);
                         });

// F00 holds FT2 on its row for ever: the song has ended there.
TEST(Ft2RulesSong, SpeedZeroEndsTheSong)
{
    xmwriter::Module m = module(1, {pattern(1, {"C-4 01 .. F00", "--- .. .. ..."})}, {0});
    player::Song* song = test_support::load_module(xmwriter::write(m), player::Rules::FT2);
    ASSERT_NE(song, nullptr);
    player::voice_pool_create(44100);
    player::song_start(song);
    song->tick_handler(song);
    EXPECT_EQ(song->song_looped, 1);
    player::song_free(song);
    player::voice_pool_destroy();
}

// FT2 plays a pattern stored with no rows, or one with nothing in any cell, as 64 empty rows;
// the show's engine passes over the first and plays the second's own rows.
TEST(Ft2RulesSong, EmptyPatternsLastSixtyFourRows)
{
    xmwriter::Pattern none = pattern(1, {});
    none.rows = 0;
    xmwriter::Pattern blank = pattern(1, {});
    blank.rows = 16;
    blank.at(15, 0, 1);  // cells stored, all empty
    xmwriter::Pattern filled = pattern(1, {"--- .. .. ..."});
    filled.rows = 16;
    filled.at(15, 0, 1).parameter = 1;  // one byte set: its own 16 rows
    struct Case {
        const char* name;
        xmwriter::Pattern first;
        int ft2_rows, show_rows;
    };
    const Case cases[] = {
        {"no rows", none, 64, 1}, {"blank", blank, 64, 16}, {"filled", filled, 16, 16}};
    for (const Case& c : cases) {
        xmwriter::Module m = module(1, {c.first, pattern(1, {"C-4 01 .. ..."})}, {0, 1});
        m.speed = 1;
        for (const auto& [rules, ticks] : {std::pair{player::Rules::FT2, c.ft2_rows},
                                           std::pair{player::Rules::SHOW, c.show_rows}}) {
            player::Song* song = test_support::load_module(xmwriter::write(m), rules);
            ASSERT_NE(song, nullptr);
            player::voice_pool_create(44100);
            player::song_start(song);
            int played_at = -1;
            for (int t = 0; t < 100 && played_at < 0; ++t) {
                song->tick_handler(song);
                if (song->order == 1) played_at = t;
            }
            EXPECT_EQ(played_at, ticks)
                << c.name << (rules == player::Rules::FT2 ? ", ft2" : ", show");
            player::song_free(song);
            player::voice_pool_destroy();
        }
    }
}

// A note byte past the key-off is no note: under tone portamento it sets no target, so the
// pitch stays where the last note put it.
TEST(Ft2RulesSong, StrayNoteByteIsNoNote)
{
    xmwriter::Pattern p = pattern(1, {"C-4 01 .. ...", "--- .. .. 310", "--- .. .. ..."});
    p.at(1, 0, 1).note = 98;
    xmwriter::Module m = module(1, {p}, {0});
    m.speed = 3;
    player::Song* song = test_support::load_module(xmwriter::write(m), player::Rules::FT2);
    ASSERT_NE(song, nullptr);
    player::voice_pool_create(44100);
    player::song_start(song);
    for (int t = 0; t < 9; ++t) {
        song->tick_handler(song);
        EXPECT_EQ(song->channels[0].final_period, C4) << "tick " << t;
    }
    player::song_free(song);
    player::voice_pool_destroy();
}

// FT2 keeps the row its pattern loop jumped to, and the next pattern starts there.
TEST(Ft2RulesSong, PatternAfterALoopStartsAtTheLoopRow)
{
    xmwriter::Module m =
        module(1,
               {pattern(1, {"C-4 01 .. ...", "--- .. .. E60", "--- .. .. E61", "--- .. .. ..."}),
                pattern(1, {"--- .. .. ...", "--- .. .. ...", "--- .. .. ..."})},
               {0, 1});
    m.speed = 1;
    const std::string loop = "0:0 0:1 0:2 0:1 0:2 0:3 ";
    for (const auto& [rules, want] : {std::pair{player::Rules::FT2, loop + "1:1 1:2"},
                                      std::pair{player::Rules::SHOW, loop + "1:0 1:1"}}) {
        player::Song* song = test_support::load_module(xmwriter::write(m), rules);
        ASSERT_NE(song, nullptr);
        player::voice_pool_create(44100);
        player::song_start(song);
        std::string rows;
        for (int t = 0; t < 8; ++t) {
            song->tick_handler(song);
            if (!rows.empty()) rows += ' ';
            rows += std::to_string(song->order);
            rows += ':';
            rows += std::to_string(song->row);
        }
        EXPECT_EQ(rows, want);
        player::song_free(song);
        player::voice_pool_destroy();
    }
}

}  // namespace
