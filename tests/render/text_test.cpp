// text_test.cpp -- the timed text list, letter spacing and the font's bounds

#include "render/text.h"

#include <gtest/gtest.h>

#include <ostream>

#include <vector>

#include "render/music_source.h"
#include "render/object.h"
#include "render/tables.h"
#include "test_frame.h"

namespace {

uint16_t stand_in_position;
uint16_t read_stand_in()
{
    return stand_in_position;
}

const char LAME[] = "LAME";
const char SCHOOL[] = " SCHOOL";
const render::TextEvent events[] = {
    {0x100, 0x120, LAME, 20, 10},
    {0x101, 0x121, SCHOOL, 80, 10},
};

class TextTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        render::init_palettes();
        render::set_music_position_source(read_stand_in);
        render::set_text_table(events, 2);
        // Each glyph's top-left pixel holds the glyph's own character code, everything else
        // is transparent, so a frame pixel equal to a code marks where that glyph stands.
        sheet.assign(assets::FONT_WIDTH * assets::FONT_HEIGHT, 0);
        for (int32_t ch = 33; ch <= 92; ++ch)
            sheet[assets::FONT_WIDTH + 1 + 24 * (ch - 32)] = static_cast<uint8_t>(ch);
        render::set_font_sheet(sheet.data());
        for (int32_t i = 0; i < 256; ++i) render::font_palette[i] = static_cast<uint16_t>(i);
    }
    void TearDown() override
    {
        render::set_music_position_source(nullptr);
        render::set_text_table(assets::text_events, assets::text_event_count);
        render::set_font_sheet(nullptr);
        render::init_palettes();
    }

    void update_at(uint16_t position, int32_t frames = 1)
    {
        stand_in_position = position;
        for (int32_t k = 0; k < frames; ++k) render::update_texts();
    }

    std::vector<const char*> slots() const
    {
        std::vector<const char*> out;
        for (int32_t k = 0; k < render::active_text_count; ++k)
            out.push_back(render::active_texts[k].text);
        return out;
    }

    // Columns of row y holding a glyph marker, with the marker's character.
    std::vector<std::pair<int32_t, char>> markers(int32_t y) const
    {
        std::vector<std::pair<int32_t, char>> out;
        for (int32_t x = 0; x < 320; ++x)
            if (frame.at(x, y) != 0) out.emplace_back(x, static_cast<char>(frame.at(x, y)));
        return out;
    }

    std::vector<uint8_t> sheet;
    render_test::TestFrame frame;
};

TEST_F(TextTest, ShownOncePerFrameOfItsStartRow)
{
    update_at(0x0FF);
    EXPECT_TRUE(slots().empty());
    update_at(0x100, 3);
    update_at(0x101, 2);
    EXPECT_EQ(slots(), (std::vector<const char*>{LAME, LAME, LAME, SCHOOL, SCHOOL}));
    EXPECT_EQ(render::active_texts[0].x, 20);
    EXPECT_EQ(render::active_texts[0].y, 10);
    update_at(0x120, 4);
    EXPECT_EQ(slots().size(), 5u);
}

TEST_F(TextTest, CopiesLeaveOnePerFrame)
{
    update_at(0x100, 3);
    update_at(0x101, 2);
    update_at(0x121);
    EXPECT_EQ(slots(), (std::vector<const char*>{LAME, LAME, SCHOOL, SCHOOL}));
    update_at(0x122);
    EXPECT_EQ(slots(), (std::vector<const char*>{LAME, SCHOOL}));
    update_at(0x122);
    EXPECT_TRUE(slots().empty());
    EXPECT_EQ(render::active_texts[0].text, nullptr);
}

TEST_F(TextTest, AppendToAFullListIsIgnored)
{
    update_at(0x100, 120);
    EXPECT_EQ(render::active_text_count, render::ACTIVE_TEXT_SLOTS);
    update_at(0x200, 120);
    EXPECT_EQ(render::active_text_count, 0);
}

struct AdvanceCase {
    const char* text;
    std::vector<std::pair<int32_t, char>> glyphs;  // offsets from the string's x
};

std::ostream& operator<<(std::ostream& os, const AdvanceCase& c)
{
    os << "text ";
    for (const char* p = c.text; *p != '\0'; ++p) {
        const auto ch = static_cast<unsigned char>(*p);
        if (ch > 32 && ch < 127)
            os << *p;
        else
            os << '<' << int(ch) << '>';
    }
    return os;
}

class AdvanceTest : public TextTest, public ::testing::WithParamInterface<AdvanceCase> {};

TEST_P(AdvanceTest, LettersStandAtTheirAdvances)
{
    render::draw_string(GetParam().text, frame.address(40, 50));
    std::vector<std::pair<int32_t, char>> expected = GetParam().glyphs;
    for (auto& g : expected) g.first += 40;
    EXPECT_EQ(markers(50), expected);
}

INSTANTIATE_TEST_SUITE_P(Strings, AdvanceTest,
                         ::testing::Values(AdvanceCase{"LAL", {{0, 'L'}, {11, 'A'}, {27, 'L'}}},
                                           AdvanceCase{"WIX", {{0, 'W'}, {24, 'I'}, {32, 'X'}}},
                                           AdvanceCase{"M I", {{0, 'M'}, {40, 'I'}}},
                                           AdvanceCase{"   ", {}},
                                           AdvanceCase{"A\x7F\xC8"
                                                       "B",
                                                       {{0, 'A'}, {48, 'B'}}}));

TEST_F(TextTest, DrawTextsPlacesEverySlot)
{
    update_at(0x100);
    update_at(0x101);
    render::draw_texts();
    EXPECT_EQ(markers(10), (std::vector<std::pair<int32_t, char>>{{20, 'L'},
                                                                  {31, 'A'},
                                                                  {47, 'M'},
                                                                  {71, 'E'},
                                                                  {96, 'S'},
                                                                  {112, 'C'},
                                                                  {128, 'H'},
                                                                  {144, 'O'},
                                                                  {160, 'O'},
                                                                  {176, 'L'}}));
}

// Index 0 is transparent: only the glyph's own strokes change the scene below.
TEST_F(TextTest, GlyphLeavesTheSceneBetweenStrokes)
{
    frame.fill(0x1234);
    render::draw_glyph('A', frame.address(100, 100));
    for (int32_t y = 100; y < 127; ++y)
        for (int32_t x = 100; x < 123; ++x)
            ASSERT_EQ(frame.at(x, y), x == 100 && y == 100 ? 'A' : 0x1234) << x << "," << y;
}

TEST_F(TextTest, TextRunsIntoTheNextRowButNeverOutOfTheFrame)
{
    std::fill(sheet.begin(), sheet.end(), uint8_t{9});
    render::draw_glyph('A', frame.address(310, 10));
    EXPECT_EQ(frame.at(319, 10), 9);
    EXPECT_EQ(frame.at(0, 11), 9);  // column 320 is the next row's first pixel
    EXPECT_EQ(frame.at(12, 11), 9);
    EXPECT_EQ(frame.at(13, 11), 0);
    render::draw_string("WWWWWWWWWWWWWWWWWWWWWWWWW", frame.address(250, 190));
    render::draw_string("ABC", platform::frame_buffer - 640 * 3);
    EXPECT_TRUE(frame.guards_intact());
    EXPECT_EQ(frame.at(319, 199), 9);
}

}  // namespace

namespace {

uint16_t golden_position;
uint16_t read_golden_position()
{
    return golden_position;
}

// Pins the stored font and its palette, the glyph addressing, the letter advances and the
// three lines of the table shown in order 13, on a black frame.
TEST(TextGoldenTest, StoredTableLinesOnTheStoredFont)
{
    if (!render_test::real_assets()) GTEST_SKIP() << "needs the generated assets";
    render_test::TestFrame frame;
    render::init_palettes();
    render::set_music_position_source(read_golden_position);
    for (golden_position = 0xD1C; golden_position <= 0xD1E; ++golden_position)
        render::update_texts();
    EXPECT_EQ(render::active_text_count, 3);
    render::draw_texts();
    EXPECT_EQ(render_test::frame_hash(), 0xe9db33b887c51a23u)
        << std::hex << render_test::frame_hash();
    render::set_music_position_source(nullptr);
    render::clear_texts();
}

}  // namespace
