// replay.cpp -- tick sequencing, notes and instruments

#include "player/replay/replay.h"

namespace player {

Instrument empty_instrument{};

// Stand-in until the replay engine exists: a tick that changes nothing.
void replay_tick(Song*) {}

}  // namespace player
