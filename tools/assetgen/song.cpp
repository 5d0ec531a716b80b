// song.cpp -- the show's music (placeholder shape until the composition lands)
#include "tools/assetgen/assetgen.h"
#include "tools/xmwriter/xm_writer.h"

namespace assetgen {

Bytes make_song()
{
    xmwriter::Module m;
    m.name = "quorbela";
    m.channels = 12;
    m.speed = 6;
    m.bpm = 118;
    for (int i = 0; i < 19; ++i) m.orders.push_back(static_cast<uint8_t>(i < 17 ? i : 16));
    m.patterns.resize(17);
    for (int i = 0; i < 27; ++i) {
        xmwriter::Instrument ins;
        ins.name = "instrument";
        xmwriter::Sample s;
        s.frames.assign(100, 0);
        ins.samples.push_back(s);
        m.instruments.push_back(ins);
    }
    size_t size = xmwriter::write(m).size();
    m.instruments.back().samples.back().frames.resize(100 + (431134 - size), 0);
    return xmwriter::write(m);
}

}  // namespace assetgen
