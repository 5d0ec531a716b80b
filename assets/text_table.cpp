// text_table.cpp -- the words shown over the scenes: when, where and what
//
// Each text appears when the music reaches its start position and goes once the position
// is past its end. Words are split into pieces that appear one after another on the beat.
#include "assets/assets.h"

namespace assets {

const uint8_t text_event_count = TEXT_EVENT_COUNT;

const TextEvent text_events[TEXT_EVENT_COUNT] = {
    {0x100, 0x120, "LAME", 20, 10},
    {0x101, 0x121, " SCHOOL", 80, 10},
    {0x105, 0x125, " FLA", 190, 10},
    {0x107, 0x127, "VOUR", 250, 10},
    {0x200, 0x220, "100", 125, 170},
    {0x201, 0x221, "%", 175, 170},
    {0x205, 0x225, " BLEN", 195, 170},
    {0x207, 0x227, "DED", 270, 170},
    {0x300, 0x320, "SE", 0, 0},
    {0x301, 0x321, "LECTED", 30, 0},
    {0x305, 0x325, " FINE", 120, 0},
    {0x307, 0x327, "ELEMENTS", 50, 30},
    {0x400, 0x41F, "LAS", 0, 100},
    {0x401, 0x41F, " AUTORIDADES", 45, 100},
    {0x405, 0x41F, "SANITARIAS", 0, 130},
    {0x407, 0x41F, " ADVIERTEN", 150, 130},
    {0x420, 0x44F, "VER", 260, 80},
    {0x428, 0x44F, "ESTO", 245, 110},
    {0x430, 0x44F, "PRODUCE", 200, 140},
    {0x438, 0x44F, "CANCER", 215, 170},
    // Greetings: two columns that fill the top and bottom bands, one name every eight rows.
    {0x1000, 0x104F, "MOTHFLAKE", 0, 0},
    {0x1008, 0x1107, "QUIVER", 180, 0},
    {0x1010, 0x110F, "SALTHOUSE", 0, 25},
    {0x1018, 0x1117, "PIXMOSS", 180, 25},
    {0x1020, 0x111F, "NOVAKELP", 0, 145},
    {0x1028, 0x112F, "DRIFTLAB", 180, 145},
    {0x1030, 0x1127, "CARBONFERN", 0, 170},
    {0x1038, 0x1137, "ZEBRAFAX", 180, 170},
    // Each of these takes the place of the name that has just gone.
    {0x1100, 0x1200, "OKTOPLEX", 0, 0},
    {0x1108, 0x1200, "VOIDKITE", 180, 0},
    {0x1110, 0x1200, "BLUEGRAIN", 0, 25},
    {0x1118, 0x1200, "HEXAPOD", 160, 25},
    {0x1120, 0x1200, "THANX", 0, 145},
    {0x1128, 0x1200, "SUNDIALS", 0, 170},
    {0x1130, 0x1200, "FOR WATCHING", 100, 145},
    {0x1138, 0x1200, "AND YOU", 180, 170},
    {0x1205, 0x1300, "A MORVA PRODUCTION", 0, 170},
    {0xD1C, 0xD3D, "2DAYS 512KBYTES", 10, 10},
    {0xD1D, 0xD3E, "NO DIRECT 3D", 0, 50},
    {0xD1E, 0xD3F, "UNFINISHED VERSION", 30, 80},
};

}  // namespace assets
