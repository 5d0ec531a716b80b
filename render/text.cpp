// text.cpp -- the timed text list and the bitmap font

#include "render/text.h"

#include "render/frame_access.h"
#include "render/music_source.h"
#include "render/tables.h"

namespace render {

ActiveText active_texts[ACTIVE_TEXT_SLOTS];
int32_t active_text_count;

namespace {

const TextEvent* table = assets::text_events;
int32_t table_count = -1;  // -1: the stored count
const uint8_t* font_sheet = assets::font_sheet;

void append(const TextEvent& event)
{
    if (active_text_count >= ACTIVE_TEXT_SLOTS) return;
    active_texts[active_text_count++] = {event.text, event.x, event.y};
}

// One copy per call: a text shown for several frames of its start row has several copies
// and so takes as many frames to go (see TextTest.CopiesLeaveOnePerFrame).
void remove_one(const char* text)
{
    for (int32_t slot = 0; slot < ACTIVE_TEXT_SLOTS; ++slot) {
        if (active_texts[slot].text != text) continue;
        for (int32_t k = slot; k + 1 < ACTIVE_TEXT_SLOTS; ++k)
            active_texts[k] = active_texts[k + 1];
        active_texts[ACTIVE_TEXT_SLOTS - 1] = {nullptr, 0, 0};
        if (active_text_count > 0) --active_text_count;
        return;
    }
}

// The frame is one run of rows, so glyph columns past column 319 land at the start of the
// next row; only pixels outside the buffer itself are dropped.
void draw_glyph_at(uint8_t ch, int64_t origin)
{
    if (ch < assets::FIRST_GLYPH || ch > assets::LAST_GLYPH) return;
    const uint8_t* sheet = font_sheet + assets::FONT_WIDTH + 1 + assets::GLYPH_PITCH * (ch - 32);
    for (int32_t row = 0; row < assets::GLYPH_HEIGHT; ++row) {
        const int64_t row_offset = origin + static_cast<int64_t>(row) * 640;
        for (int32_t col = 0; col < assets::GLYPH_WIDTH; ++col) {
            const uint8_t index = sheet[col];
            const int64_t offset = row_offset + 2 * col;
            if (index != 0 && detail::pixel_inside(offset))
                detail::write_pixel(offset, font_palette[index]);
        }
        sheet += assets::FONT_WIDTH;
    }
}

void draw_string_at(const char* text, int64_t origin)
{
    for (; *text != '\0'; ++text) {
        if (*text != ' ') draw_glyph_at(static_cast<uint8_t>(*text), origin);
        origin += 2 * assets::glyph_advance(*text);
    }
}

}  // namespace

void set_text_table(const TextEvent* events, int32_t count)
{
    table = events;
    table_count = count;
}

void set_font_sheet(const uint8_t* sheet)
{
    font_sheet = sheet ? sheet : assets::font_sheet;
}

void clear_texts()
{
    for (ActiveText& slot : active_texts) slot = {nullptr, 0, 0};
    active_text_count = 0;
}

void update_texts()
{
    const uint32_t position = current_music_position();
    const int32_t count = table_count < 0 ? assets::text_event_count : table_count;
    for (int32_t k = 0; k < count; ++k) {
        const TextEvent& event = table[k];
        if (event.text == nullptr) continue;
        if (event.start == position)
            append(event);
        else if (position > event.end)
            remove_one(event.text);
    }
}

void draw_texts()
{
    for (const ActiveText& slot : active_texts) {
        if (slot.text == nullptr || slot.y < 0 || slot.y >= platform::FRAME_ROW_CAPACITY) continue;
        const int64_t origin =
            static_cast<int64_t>(platform::frame_rows[slot.y]) + 2 * static_cast<int64_t>(slot.x);
        draw_string_at(slot.text, origin);
    }
}

void draw_string(const char* text, uint8_t* address)
{
    draw_string_at(text, detail::frame_offset(address));
}

void draw_glyph(uint8_t ch, uint8_t* address)
{
    draw_glyph_at(ch, detail::frame_offset(address));
}

}  // namespace render
