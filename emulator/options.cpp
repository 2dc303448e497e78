#include "emulator/options.h"

#include "emulator/hex_text.h"
#include "emulator/models.h"

#include <charconv>
#include <stdexcept>

namespace vz::emu {

namespace {

[[noreturn]] void Fail(const std::string& option, const std::string& why) {
    throw std::invalid_argument(option + ": " + why);
}

long ParseCount(const std::string& option, const std::string& text) {
    long value = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size() || value < 0)
        Fail(option, "expected a whole number of 0 or more, got \"" + text + "\"");
    return value;
}

// A time in milliseconds, at most a day: beyond, the microsecond clock would overflow.
long ParseMilliseconds(const std::string& option, const std::string& text) {
    constexpr long kDayMs = 24L * 3600 * 1000;
    const long value = ParseCount(option, text);
    if (value > kDayMs)
        Fail(option, "at most " + std::to_string(kDayMs) + " ms (a day), got \"" + text + "\"");
    return value;
}

double ParseShare(const std::string& option, const std::string& text) {
    std::string t = text;
    double scale = 1.0;
    if (!t.empty() && t.back() == '%') {
        t.pop_back();
        scale = 0.01;
    }
    std::size_t used = 0;
    double value = 0;
    try {
        value = std::stod(t, &used);
    } catch (const std::exception&) {
        used = 0;
    }
    if (used == 0 || used != t.size())
        Fail(option, "expected a share such as 0.05 or 5%, got \"" + text + "\"");
    value *= scale;
    // Written so that NaN, which compares false with everything, fails too.
    if (!(value >= 0.0 && value <= 1.0)) Fail(option, "share must lie between 0 and 1");
    return value;
}

std::uint32_t ParseHex(const std::string& option, const std::string& text, std::uint32_t max) {
    auto value = ParseHexNumber(text);
    if (!value || *value > max)
        Fail(option, "expected a hex number up to " + HexLong(max) + ", got \"" + text + "\"");
    return *value;
}

std::pair<FaultKind, long> ParseFaultX(const std::string& option, const std::string& text) {
    auto colon = text.find(':');
    auto kind = FaultKindFromName(text.substr(0, colon));
    if (colon == std::string::npos || !kind)
        Fail(option, "expected KIND:N with KIND boot, bank, prom, erase, checksum or version");
    long n = ParseCount(option, text.substr(colon + 1));
    if (n < 1) Fail(option, "occurrences count from 1");
    return {*kind, n};
}

FaultEntry ParseEntry(const std::string& text) {
    const std::string option = "--cycle entry \"" + text + "\"";
    FaultEntry entry;
    entry.text = text;
    if (text == "clean") return entry;
    std::size_t start = 0;
    for (;;) {
        std::size_t plus = text.find('+', start);
        std::string item = text.substr(start, plus == std::string::npos ? std::string::npos : plus - start);
        auto equals = item.find('=');
        std::string name = item.substr(0, equals);
        std::string v = equals == std::string::npos ? "" : item.substr(equals + 1);
        if (name == "refuse-type" && equals == std::string::npos) {
            entry.refuseType = true;
        } else if (equals == std::string::npos) {
            Fail(option, "expected clean or faults such as resend=30%, x=bank:5, vanish=20000 joined by +");
        } else if (name == "resend") {
            entry.resendShare = ParseShare(option, v);
        } else if (name == "stray") {
            entry.strayShare = ParseShare(option, v);
        } else if (name == "zero") {
            entry.zeroShare = ParseShare(option, v);
        } else if (name == "x") {
            auto [kind, n] = ParseFaultX(option, v);
            entry.refuseAt[kind].insert(n);
        } else if (name == "vanish" || name == "silence-after") {
            entry.silenceAfter = ParseCount(option, v);
        } else {
            Fail(option, "unknown fault \"" + name + "\"");
        }
        if (plus == std::string::npos) break;
        start = plus + 1;
    }
    return entry;
}

} // namespace

std::vector<FaultEntry> ParseCycle(const std::string& plan) {
    std::vector<FaultEntry> entries;
    std::size_t start = 0;
    for (;;) {
        std::size_t comma = plan.find(',', start);
        entries.push_back(
            ParseEntry(plan.substr(start, comma == std::string::npos ? std::string::npos : comma - start)));
        if (comma == std::string::npos) break;
        start = comma + 1;
    }
    return entries;
}

ProgramOptions ParseOptions(const std::vector<std::string>& args) {
    ProgramOptions o;
    std::size_t i = 0;
    std::vector<std::string> positional;
    std::string seriesOption; // an option that only means something with --devices
    if (!args.empty() && args[0] == "make-package") {
        o.command = ProgramOptions::Command::MakePackage;
        i = 1;
    } else if (!args.empty() && args[0] == "verify-dump") {
        o.command = ProgramOptions::Command::VerifyDump;
        i = 1;
    }
    auto value = [&](const std::string& option) -> std::string {
        if (i + 1 >= args.size()) Fail(option, "needs a value");
        return args[++i];
    };
    for (; i < args.size(); ++i) {
        const std::string& a = args[i];
        DeviceConfig& d = o.device;
        RunnerOptions& r = o.runner;
        if (a == "--help" || a == "-h") {
            o.command = ProgramOptions::Command::Help;
        } else if (a == "--version") {
            o.command = ProgramOptions::Command::Version;
        } else if (a == "--small") {
            o.smallPackage = true;
        } else if (a == "--link") {
            r.linkPath = value(a);
        } else if (a == "--model") {
            std::string v = value(a);
            auto model = FindModel(v);
            if (!model)
                Fail(a, "unknown model \"" + v +
                            "\" (KRA350, KRB350, KRC350, KRD350, KRT120, KRA350_256, "
                            "KRB350_256 or a code 1..7)");
            d.modelCode = model->code;
        } else if (a == "--boot-checksum") {
            d.bootChecksum = static_cast<std::uint16_t>(ParseHex(a, value(a), 0xFFFF));
        } else if (a == "--id") {
            d.deviceId = static_cast<std::uint16_t>(ParseHex(a, value(a), 0xFFFF));
        } else if (a == "--options") {
            d.options = static_cast<std::uint16_t>(ParseHex(a, value(a), 0xFFFF));
        } else if (a == "--short-id") {
            d.shortId = true;
        } else if (a == "--keyb-id") {
            std::string v = value(a);
            if (v.size() != 2 || v.find('.') != std::string::npos)
                Fail(a, "expected two characters, not \".\"");
            d.keybId = v;
        } else if (a == "--prom-id") {
            std::string v = value(a);
            if (v.size() < 3 || (v[0] != '1' && v[0] != '2') || v[1] != ':')
                Fail(a, "expected 1:HEX or 2:HEX");
            d.promIds[static_cast<std::size_t>(v[0] - '1')] = ParseHex(a, v.substr(2), 0xFFFFFFFF);
        } else if (a == "--erase-ms") {
            d.eraseTime = ParseMilliseconds(a, value(a)) * kMillisecond;
        } else if (a == "--strict-speed") {
            d.strictSpeed = true;
        } else if (a == "--plain-tdo") {
            d.tdoEscapes = false;
        } else if (a == "--slow-p-silent") {
            d.answerSlowP = false;
        } else if (a == "--fault-resend") {
            d.faults.resendShare = ParseShare(a, value(a));
        } else if (a == "--fault-stray") {
            d.faults.strayShare = ParseShare(a, value(a));
        } else if (a == "--fault-zero") {
            d.faults.zeroShare = ParseShare(a, value(a));
        } else if (a == "--seed") {
            d.faults.seed = static_cast<std::uint64_t>(ParseCount(a, value(a)));
        } else if (a == "--fault-x") {
            auto [kind, n] = ParseFaultX(a, value(a));
            d.faults.refuseAt[kind].insert(n);
        } else if (a == "--fault-silence-after") {
            d.faults.silenceAfter = ParseCount(a, value(a));
        } else if (a == "--refuse-type") {
            d.faults.refuseType = true;
        } else if (a == "--hangup-after") {
            r.hangupAfter = ParseCount(a, value(a));
        } else if (a == "--baud-pacing") {
            r.baudPacing = true;
        } else if (a == "--latency-ms") {
            r.latency = ParseMilliseconds(a, value(a)) * kMillisecond;
        } else if (a == "--exit-after-fi") {
            r.exitAfterFi = true;
        } else if (a == "--no-reboot-on-open") {
            r.rebootOnOpen = false;
        } else if (a == "--devices") {
            r.series.enabled = true;
            r.series.devices = ParseCount(a, value(a));
        } else if (a == "--gap-ms") {
            r.series.gap = ParseMilliseconds(a, value(a)) * kMillisecond;
            seriesOption = a;
        } else if (a == "--cycle") {
            r.series.cycle = ParseCycle(value(a));
            seriesOption = a;
        } else if (a == "--results") {
            r.resultsPath = value(a);
            seriesOption = a;
        } else if (a == "--verify") {
            r.verifyDir = value(a);
            seriesOption = a;
        } else if (a == "--state") {
            r.statePath = value(a);
        } else if (a == "--dump") {
            r.dumpDir = value(a);
        } else if (a == "--log") {
            r.logPath = value(a);
        } else if (!a.empty() && a[0] == '-') {
            Fail(a, "unknown option");
        } else {
            positional.push_back(a);
        }
    }
    switch (o.command) {
    case ProgramOptions::Command::Run:
        if (!positional.empty()) Fail(positional[0], "unexpected argument");
        if (!seriesOption.empty() && !o.runner.series.enabled) Fail(seriesOption, "needs --devices");
        break;
    case ProgramOptions::Command::MakePackage:
        if (positional.size() != 1) Fail("make-package", "needs exactly one directory");
        o.packageDir = positional[0];
        break;
    case ProgramOptions::Command::VerifyDump:
        if (positional.size() != 2)
            Fail("verify-dump", "needs a package model directory and a dump directory");
        o.modelDir = positional[0];
        o.dumpDir = positional[1];
        break;
    case ProgramOptions::Command::Help:
    case ProgramOptions::Command::Version:
        break;
    }
    return o;
}

std::string UsageText() {
    return R"(usage:
  vzdevice [options]                       play the device on a new pseudo-terminal
  vzdevice make-package DIR [--small]      write the sample update package
  vzdevice verify-dump MODEL_DIR DUMP_DIR  compare a dump with what MODEL_DIR/script.ini programs
  vzdevice --version                       the version of the updater it comes with

device options:
  --link PATH              also make a symbolic link to the terminal side
  --model NAME|CODE        KRA350 (default), KRB350, KRC350, KRD350, KRT120, KRA350_256, KRB350_256 or 1..7
  --boot-checksum HEX      boot checksum reported (default: 16-bit sum of the boot area)
  --id HEX                 device identifier reported
  --options HEX            option word reported (default 0)
  --short-id               8-character identification (no option word, no type byte)
  --keyb-id XX             keyboard identification (default 4F)
  --prom-id 1:HEX|2:HEX    IDCODE of PROM 1 or PROM 2 (default F5046093, F5045093)
  --erase-ms N             flash erase time (default 50)
  --strict-speed           lose bytes the host sends at another speed than the device's
  --baud-pacing            move bytes no faster than the serial line would
  --latency-ms N           hold bytes to the host until the next N ms tick (an adapter's latency timer)
  --plain-tdo              no ESC escapes in TDO answers
  --slow-p-silent          do not answer the "P8"/"P9" that follows "S8"/"S9"
  --exit-after-fi          exit once "FI" has been acknowledged
  --no-reboot-on-open      do not restart the boot loader when the host opens the port
  --state FILE             keep versions and memories across runs
  --dump DIR               write every memory to DIR at the end
  --log FILE               transcript of the line traffic
several devices in a row (a station updating device after device):
  --devices N              play N devices one after another (0: without end); device k
                           reports identifier base+k (base: --id or the model's default)
  --gap-ms MS              quiet time between one device's end and the next one's call (default 1000)
  --cycle PLAN             faults per device, cycled: entries split by ",", each "clean" or
                           faults joined by "+": resend=P stray=P zero=P x=KIND:N vanish=N refuse-type
                           e.g. clean,clean,resend=30%,x=bank:5,vanish=20000
  --results FILE           append one JSON line per device when it ends
  --verify MODEL_DIR       say in the results whether the memories hold what MODEL_DIR/script.ini programs
faults:
  --fault-resend P         answer "R" to a share P of good lines, records and data blocks
  --seed N                 seed of the fault choices (default 1)
  --fault-x KIND:N         "X" at the N-th boot, bank, prom, erase, checksum or version
  --fault-stray P          stray bytes where the host skips them
  --fault-zero P           zero bytes after answers
  --fault-silence-after N  stop answering after N bytes received
  --refuse-type            refuse every type number
  --hangup-after N         close the terminal after N bytes received
)";
}

} // namespace vz::emu
