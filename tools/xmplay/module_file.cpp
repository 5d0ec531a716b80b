// module_file.cpp -- reading an XM file from disk, its header facts, and loading it as a song

#include "module_file.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <algorithm>
#include <memory>

#include "player/player.h"

namespace xmplay {

namespace {

constexpr char SIGNATURE[] = "Extended Module: ";
constexpr size_t SIGNATURE_SIZE = 17;
// Offsets are 32-bit in the stream, and no real module comes near this.
constexpr uint64_t MAX_FILE_SIZE = uint64_t{1} << 30;
// Through the flags and tempo fields: a file cut shorter has no song to speak of.
constexpr size_t MIN_HEADER = 80;
constexpr size_t VERSION_AT = 58;

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};

uint16_t read_u16le(const std::vector<uint8_t>& bytes, size_t at)
{
    if (at + 2 > bytes.size()) return 0;
    return static_cast<uint16_t>(bytes[at] | bytes[at + 1] << 8);
}

}  // namespace

bool read_module_file(const std::string& path, ModuleFile& module, std::string& reason)
{
    struct stat info {};
    if (stat(path.c_str(), &info) != 0) {
        reason = errno == ENOENT ? "not found"
                                 : std::string("cannot open (") + std::strerror(errno) + ")";
        return false;
    }
    if (S_ISDIR(info.st_mode)) {
        reason = "not an XM module (a directory)";
        return false;
    }
    std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "rb"));
    if (!file) {
        reason = std::string("cannot open (") + std::strerror(errno) + ")";
        return false;
    }
    // Read the signature first, so that a large foreign file is refused without reading it.
    std::vector<uint8_t> bytes(SIGNATURE_SIZE);
    const size_t got = std::fread(bytes.data(), 1, SIGNATURE_SIZE, file.get());
    if (got < SIGNATURE_SIZE || std::memcmp(bytes.data(), SIGNATURE, SIGNATURE_SIZE) != 0) {
        if (std::ferror(file.get())) {
            reason = std::string("cannot read (") + std::strerror(errno) + ")";
        } else {
            reason =
                got == 0 ? "not an XM module (empty file)" : "not an XM module (bad signature)";
        }
        return false;
    }
    // Regular files tell their size; anything else (a pipe, a device) is read until it ends,
    // up to the same limit.
    for (;;) {
        if (bytes.size() > MAX_FILE_SIZE) {
            reason = "damaged (too large for an XM module)";
            return false;
        }
        const size_t at = bytes.size();
        bytes.resize(at + 65536);
        const size_t n = std::fread(bytes.data() + at, 1, 65536, file.get());
        bytes.resize(at + n);
        if (n < 65536) break;
    }
    if (std::ferror(file.get())) {
        reason = std::string("cannot read (") + std::strerror(errno) + ")";
        return false;
    }
    return module_from_bytes(std::move(bytes), module, reason);
}

bool module_from_bytes(std::vector<uint8_t> bytes, ModuleFile& module, std::string& reason)
{
    if (bytes.size() < SIGNATURE_SIZE ||
        std::memcmp(bytes.data(), SIGNATURE, SIGNATURE_SIZE) != 0) {
        reason =
            bytes.empty() ? "not an XM module (empty file)" : "not an XM module (bad signature)";
        return false;
    }
    if (bytes.size() > MAX_FILE_SIZE) {
        reason = "damaged (too large for an XM module)";
        return false;
    }
    module.bytes = std::move(bytes);
    const size_t name_end = std::min<size_t>(module.bytes.size(), 37);
    std::string name(
        module.bytes.begin() + SIGNATURE_SIZE,
        module.bytes.begin() + static_cast<std::ptrdiff_t>(std::max(name_end, SIGNATURE_SIZE)));
    name = name.substr(0, name.find('\0'));
    while (!name.empty() && name.back() == ' ') name.pop_back();
    module.name = name;
    module.patterns = read_u16le(module.bytes, 70);
    return true;
}

player::Song* load_song(const ModuleFile& module, std::string& reason)
{
    if (module.bytes.size() < MIN_HEADER) {
        reason = "damaged (the header is cut short)";
        return nullptr;
    }
    // The loader refuses these too; only here is there someone to tell why.
    const uint16_t version = read_u16le(module.bytes, VERSION_AT);
    if (version < player::XM_OLDEST_VERSION) {
        char text[80];
        std::snprintf(text, sizeof text, "XM version %d.%02X is too old (%d.%02X and later play)",
                      version >> 8, version & 0xFF, player::XM_OLDEST_VERSION >> 8,
                      player::XM_OLDEST_VERSION & 0xFF);
        reason = text;
        return nullptr;
    }
    player::mem_register(module.bytes.data(), static_cast<uint32_t>(module.bytes.size()));
    player::stream_set_callbacks(player::mem_open, player::mem_close, player::mem_read,
                                 player::mem_seek, player::mem_tell);
    player::Song* song = player::song_load("module.xm", nullptr);
    if (song == nullptr) {
        reason = "damaged (the loader refused it)";
        return nullptr;
    }
    const player::SongInfo info = player::song_info(song);
    char detail[64] = "";
    if (info.channels < 1 || info.channels > 256) {
        std::snprintf(detail, sizeof detail, "damaged (%d channels)", info.channels);
    } else if (info.orders < 1 || info.orders > 256) {
        std::snprintf(detail, sizeof detail, "damaged (%d orders)", info.orders);
    }
    if (detail[0] != '\0') {
        player::song_free(song);
        reason = detail;
        return nullptr;
    }
    return song;
}

std::string printable(const std::string& text)
{
    std::string out = text;
    for (char& c : out) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte >= 0x7F) c = '?';
    }
    return out;
}

std::string json_string(const std::string& text)
{
    std::string out = "\"";
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (byte < 0x20 || byte >= 0x7F) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\u%04x", byte);
            out += escape;
        } else {
            out += c;
        }
    }
    return out + "\"";
}

}  // namespace xmplay
