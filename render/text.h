// text.h -- words shown over the scenes in time with the music, in the stored bitmap font
#pragma once
#include <cstdint>

#include "assets/assets.h"

namespace render {

using assets::TextEvent;

constexpr int32_t ACTIVE_TEXT_SLOTS = 99;

struct ActiveText {
    const char* text;  // null marks an empty slot
    int32_t x;
    int32_t y;
};

// Occupied slots come first, in the order they were appended.
extern ActiveText active_texts[ACTIVE_TEXT_SLOTS];
extern int32_t active_text_count;  // the fill position

// The table update_texts walks; the stored table unless replaced (tests use small ones).
void set_text_table(const TextEvent* events, int32_t count);

// The sheet draw_glyph reads, laid out as assets::font_sheet; the stored sheet unless
// replaced (null restores it).
void set_font_sheet(const uint8_t* sheet);

void clear_texts();   // empties the list (init_palettes does this)
void update_texts();  // starts and removes entries of the text table by the music position
void draw_texts();    // every occupied slot at its (x, y)
// Glyph top-left at address in the frame buffer, moving on by assets::glyph_advance. Pixels
// that would fall outside the buffer are dropped; characters without a glyph draw nothing.
void draw_string(const char* text, uint8_t* address);
void draw_glyph(uint8_t ch, uint8_t* address);

}  // namespace render
