// options.cpp -- xmplay's command line

#include "options.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>

#include "tools/offline/offline.h"

namespace xmplay {

namespace {

constexpr int32_t MIN_RATE = 8000;
constexpr int32_t MAX_RATE = 384000;

bool parse_seconds(const std::string& text, double& seconds)
{
    if (text.empty()) return false;
    char* end = nullptr;
    errno = 0;
    const double value = std::strtod(text.c_str(), &end);
    if (errno != 0 || *end != '\0' || !std::isfinite(value)) return false;
    if (value < 0 || value > offline::MAX_SECONDS) return false;
    seconds = value;
    return true;
}

bool parse_rate(const std::string& text, int32_t& rate)
{
    if (text.empty()) return false;
    char* end = nullptr;
    errno = 0;
    const long value = std::strtol(text.c_str(), &end, 10);
    if (errno != 0 || *end != '\0' || value < MIN_RATE || value > MAX_RATE) return false;
    rate = static_cast<int32_t>(value);
    return true;
}

bool parse_rules(const std::string& text, player::Rules& rules)
{
    if (text == "ft2") {
        rules = player::Rules::FT2;
    } else if (text == "show") {
        rules = player::Rules::SHOW;
    } else {
        return false;
    }
    return true;
}

}  // namespace

const char* rules_name(player::Rules rules)
{
    return rules == player::Rules::SHOW ? "show" : "ft2";
}

const char* usage_text()
{
    return "usage: xmplay [--loop] [--seconds N] [--rate HZ] FILE.xm       play on the sound "
           "device\n"
           "       xmplay --wav OUT.wav [--seconds N] [--rate HZ] FILE.xm  render to a WAV file\n"
           "       xmplay --rows [--seconds N] [--rate HZ] FILE.xm        print FRAME ORDER ROW "
           "per row\n"
           "       xmplay --info FILE.xm                                  print the module as "
           "JSON\n"
           "       xmplay --help | --version\n"
           "\n"
           "A song ends after its last row, or where it jumps back to an order already played;\n"
           "nothing plays longer than 20 minutes. --seconds N plays exactly N seconds instead,\n"
           "on past the end if need be. --loop plays on until stopped. Output is 16-bit stereo\n"
           "at 44100 Hz unless --rate says otherwise. While playing, q, Escape or Ctrl-C stops.\n"
           "\n"
           "--rules ft2 (the default) replays the module as FastTracker 2 does; --rules show\n"
           "replays it by the demo's own engine's rules, as the demo plays its song. Any mode\n"
           "takes --rules.\n";
}

const char* version_text()
{
    return "xmplay " QUORBELA_VERSION "\n";
}

bool parse_options(int argc, const char* const* argv, Options& options, std::string& error)
{
    options = Options{};
    bool mode_set = false;
    bool rate_set = false;
    auto set_mode = [&](Mode mode, const std::string& name) {
        if (mode_set) {
            error =
                "only one of --wav, --rows, --info, --help and --version at a time (" + name + ")";
            return false;
        }
        options.mode = mode;
        mode_set = true;
        return true;
    };

    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        std::string value;
        bool has_value = false;
        if (arg.rfind("--", 0) == 0 && arg.find('=') != std::string::npos) {
            value = arg.substr(arg.find('=') + 1);
            arg = arg.substr(0, arg.find('='));
            has_value = true;
        }
        const bool takes_value =
            arg == "--wav" || arg == "--seconds" || arg == "--rate" || arg == "--rules";
        if (takes_value && !has_value) {
            if (i + 1 >= argc) {
                error = arg + " needs a value";
                return false;
            }
            value = argv[++i];
        } else if (!takes_value && has_value) {
            error = arg + " takes no value";
            return false;
        }

        if (arg == "--help" || arg == "-h") {
            if (!set_mode(Mode::HELP, arg)) return false;
        } else if (arg == "--version") {
            if (!set_mode(Mode::VERSION, arg)) return false;
        } else if (arg == "--info") {
            if (!set_mode(Mode::INFO, arg)) return false;
        } else if (arg == "--rows") {
            if (!set_mode(Mode::ROWS, arg)) return false;
        } else if (arg == "--wav") {
            if (!set_mode(Mode::WAV, arg)) return false;
            if (value.empty()) {
                error = "--wav needs a file name";
                return false;
            }
            options.wav_path = value;
        } else if (arg == "--loop") {
            options.loop = true;
        } else if (arg == "--seconds") {
            if (!parse_seconds(value, options.seconds)) {
                error = "--seconds wants a number of seconds from 0 to 1200, not '" + value + "'";
                return false;
            }
            options.has_seconds = true;
        } else if (arg == "--rate") {
            if (!parse_rate(value, options.rate)) {
                error = "--rate wants a rate in Hz from 8000 to 384000, not '" + value + "'";
                return false;
            }
            rate_set = true;
        } else if (arg == "--rules") {
            if (!parse_rules(value, options.rules)) {
                error = "--rules wants ft2 or show, not '" + value + "'";
                return false;
            }
        } else if (arg == "--") {
            for (++i; i < argc; ++i) {
                if (!options.file.empty()) {
                    error = "one module at a time";
                    return false;
                }
                options.file = argv[i];
            }
        } else if (arg.size() > 1 && arg[0] == '-') {
            error = "unknown option " + arg;
            return false;
        } else {
            if (!options.file.empty()) {
                error = "one module at a time";
                return false;
            }
            options.file = arg;
        }
    }

    if (options.mode == Mode::HELP || options.mode == Mode::VERSION) return true;
    if (options.file.empty()) {
        error = "no module given";
        return false;
    }
    if (options.loop && options.mode != Mode::PLAY) {
        error = "--loop only applies when playing";
        return false;
    }
    if (options.loop && options.has_seconds) {
        error = "--loop and --seconds do not go together";
        return false;
    }
    if (options.mode == Mode::INFO && (options.has_seconds || rate_set)) {
        error = "--info takes no --seconds or --rate";
        return false;
    }
    return true;
}

}  // namespace xmplay
