#include "app/face_data/station_arguments.h"

#include <charconv>
#include <string_view>

namespace vz::face {

namespace {

bool ParseCount(std::string_view text, long& value) {
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    return ec == std::errc() && end == text.data() + text.size() && value >= 0;
}

std::vector<std::string> SplitList(std::string_view text) {
    std::vector<std::string> items;
    while (!text.empty()) {
        const std::size_t comma = std::min(text.find(','), text.size());
        if (comma > 0) items.emplace_back(text.substr(0, comma));
        text.remove_prefix(std::min(comma + 1, text.size()));
    }
    return items;
}

bool OneOf(const std::string& value, std::initializer_list<std::string_view> allowed) {
    for (std::string_view item : allowed)
        if (value == item) return true;
    return false;
}

} // namespace

bool WantsStation(int argc, const char* const* argv) {
    for (int i = 1; i < argc; ++i)
        if (std::string_view argument = argv[i];
            argument == "--station" || argument.starts_with("--station="))
            return true;
    return false;
}

StationPortArgument ParsePortArgument(const std::string& text) {
    const std::size_t equals = text.find('=');
    if (equals == std::string::npos) return {"", text};
    return {text.substr(0, equals), text.substr(equals + 1)};
}

StationArguments ParseStationArguments(int argc, const char* const* argv) {
    StationArguments arguments;
    for (int i = 1; i < argc && arguments.error.empty(); ++i) {
        std::string_view argument = argv[i];
        std::string value;
        bool hasValue = false;
        if (argument.starts_with("--") && argument.find('=') != std::string_view::npos) {
            value = argument.substr(argument.find('=') + 1);
            argument = argument.substr(0, argument.find('='));
            hasValue = true;
        }
        // --station opens the station; followed by a word (or as --station=NAME) it names it too.
        const bool nameFollows = i + 1 < argc && !std::string_view(argv[i + 1]).starts_with("-");
        if (argument == "--station" && !hasValue && !nameFollows) {
            arguments.station = true;
            continue;
        }
        static constexpr std::string_view kValued[] = {
            "--port",   "--report", "--log-dir",    "--count", "--station", "--operator",
            "--device", "--mode",   "--components", "--speed", "--root",    "--stop-after"};
        bool valued = false;
        for (std::string_view name : kValued)
            valued = valued || argument == name;
        if (!valued) {
            if (argument.starts_with("-"))
                arguments.error = "Unknown option " + std::string(argument);
            else if (arguments.script.empty())
                arguments.script = argument;
            else
                arguments.error = "One script only: " + std::string(argument);
            continue;
        }
        if (!hasValue) {
            // An option never stands as another's value: "--station --port X" names no station.
            if (i + 1 >= argc || std::string_view(argv[i + 1]).starts_with("--")) {
                arguments.error = std::string(argument) + " needs a value";
                continue;
            }
            value = argv[++i];
        }
        if (argument == "--port") {
            StationPortArgument port = ParsePortArgument(value);
            if (port.port.empty()) arguments.error = "--port needs a port: " + value;
            arguments.ports.push_back(port);
        } else if (argument == "--report") {
            arguments.report = value;
        } else if (argument == "--log-dir") {
            arguments.logDir = value;
        } else if (argument == "--count" || argument == "--stop-after") {
            long& target = argument == "--count" ? arguments.count : arguments.stopAfter;
            if (!ParseCount(value, target))
                arguments.error = std::string(argument) + " takes a whole number, not " + value;
        } else if (argument == "--station") {
            arguments.station = true;
            arguments.stationName = value;
        } else if (argument == "--operator") {
            arguments.operatorName = value;
        } else if (argument == "--device") {
            arguments.device = value;
        } else if (argument == "--mode") {
            arguments.mode = value;
            if (!OneOf(value, {"auto", "manual"})) arguments.error = "--mode takes auto or manual";
        } else if (argument == "--components") {
            arguments.components = SplitList(value);
            for (const std::string& item : arguments.components)
                if (!OneOf(item, {"keyb", "prom1", "prom2"}))
                    arguments.error = "--components takes keyb, prom1 and prom2, not " + item;
        } else if (argument == "--speed") {
            arguments.speed = value;
            if (!OneOf(value, {"fast", "slow"})) arguments.error = "--speed takes fast or slow";
        } else if (argument == "--root") {
            arguments.root = value;
        }
    }
    return arguments;
}

std::string StationUsageText() {
    return "usage: vzupdater --station [NAME] [--port [LABEL=]PORT]... [options] [SCRIPT]\n"
           "  --port [LABEL=]PORT  a port of the station (1 to 9 or a device path), repeated\n"
           "  --report FILE        append one JSON line a device\n"
           "  --log-dir DIR        one transcript a device\n"
           "  --count N            devices each port takes (default: until stopped)\n"
           "  --stop-after N       a port ends after N failures in a row\n"
           "  --station NAME       the station's name in the records (default: the host's)\n"
           "  --operator NAME      the operator's name in the records\n"
           "  --device MODEL       the one model updated (default: auto)\n"
           "  --mode auto|manual   --components keyb,prom1,prom2   --speed fast|slow\n"
           "  --root DIR           the directory holding one directory per model\n";
}

} // namespace vz::face
