#include "app/cli/convert_command.h"

#include "formats/svf_convert.h"

#include <CLI/CLI.hpp>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iomanip>
#include <optional>
#include <ostream>

namespace vz::cli {

namespace {

constexpr double kDeviceBaud = 57600;

// A file written under a temporary name and put in place only when complete.
class PendingFile {
public:
    explicit PendingFile(std::string path) : path_(std::move(path)), temporary_(path_ + ".part") {
        stream_.open(temporary_, std::ios::binary | std::ios::trunc);
    }
    ~PendingFile() {
        if (!committed_) {
            stream_.close();
            std::error_code ec;
            std::filesystem::remove(temporary_, ec);
        }
    }
    PendingFile(const PendingFile&) = delete;
    PendingFile& operator=(const PendingFile&) = delete;

    std::ofstream& stream() { return stream_; }
    bool opened() const { return stream_.is_open(); }
    // Empty when the file is in place, else why not.
    std::string commit() {
        stream_.close();
        if (stream_.fail()) return "cannot be written";
        std::error_code ec;
        std::filesystem::rename(temporary_, path_, ec);
        if (ec) return ec.message();
        committed_ = true;
        return {};
    }

private:
    std::string path_;
    std::string temporary_;
    std::ofstream stream_;
    bool committed_ = false;
};

void PrintSummary(const ConvertOptions& o, const SvfConvertSummary& s, std::ostream& err) {
    const double seconds = static_cast<double>(s.deviceBytes) * 10 / kDeviceBaud;
    err << o.input << ": " << s.statements << " SVF statements in, " << s.effectLines
        << " Effect lines out to " << o.output << " (" << s.traceComments
        << " of them \"//\" line references)\n";
    err << "  scans split: " << s.scansSplit << ", into " << s.pieces
        << " pieces; scans with a header or trailer: " << s.scansFolded << "\n";
    err << "  parameters carried over: " << s.parametersCarried << "\n";
    err << "  waits converted: " << s.waits << " (" << s.waitsInSeconds << " given in seconds, "
        << s.waitsMovedToIdle << " moved to IDLE, " << s.maximumsDropped << " MAXIMUM dropped)\n";
    err << "  dropped: " << s.frequencies << " FREQUENCY, " << s.trsts << " TRST, " << s.emptyPadsDropped
        << " zero-length HIR/HDR/TIR/TDR\n";
    err << "  the device will receive " << s.deviceBytes << " bytes: " << std::fixed << std::setprecision(1)
        << seconds << " s at 57600 baud\n";
    err.unsetf(std::ios::fixed);
}

} // namespace

CLI::App* AddConvertCommand(CLI::App& app, ConvertOptions& options) {
    auto* convert = app.add_subcommand("convert", "Make a vendor's standard SVF file into an Effect file");
    convert->add_option("IN", options.input, "Standard SVF file")->required();
    convert->add_option("OUT", options.output, "Effect file to write")->required();
    convert->add_option("--tck-hz", options.tckHz, "The device's TCK rate, for waits given in seconds")
        ->check(CLI::PositiveNumber);
    convert->add_flag("--idle-runtest", options.idleRuntest, "Run waits asked for in another state in IDLE");
    convert->add_option("--map", options.map, "Write \"Effect line<TAB>SVF line\" for every Effect line");
    convert
        ->add_option("--trace-every", options.traceEvery,
                     "A \"//\" line reference at least every N lines (0: none)")
        ->check(CLI::NonNegativeNumber)
        ->capture_default_str();
    return convert;
}

int RunConvert(const ConvertOptions& options, std::ostream&, std::ostream& err) {
    std::ifstream in(options.input, std::ios::binary);
    if (!in) {
        std::error_code ec;
        if (!std::filesystem::exists(options.input, ec))
            err << options.input << " File not found !!!\n";
        else
            err << options.input << " cannot be read\n";
        return 1;
    }
    PendingFile out(options.output);
    if (!out.opened()) {
        err << options.output << " cannot be written\n";
        return 1;
    }
    std::optional<PendingFile> map;
    if (!options.map.empty()) {
        map.emplace(options.map);
        if (!map->opened()) {
            err << options.map << " cannot be written\n";
            return 1;
        }
    }
    SvfConvertOptions convert;
    convert.sourceName = options.input;
    convert.tckHz = options.tckHz;
    convert.idleRuntest = options.idleRuntest;
    convert.traceEvery = options.traceEvery;
    SvfConvertSummary summary;
    std::vector<std::string> problems;
    const bool ok = ConvertSvf(in, out.stream(), map ? &map->stream() : nullptr, convert, summary, problems);
    if (!ok) {
        for (const auto& p : problems)
            err << p << "\n";
        if (summary.problemsFound > problems.size())
            err << "... and " << summary.problemsFound - problems.size() << " more\n";
        err << options.input << ": " << summary.problemsFound << " problem(s), " << options.output
            << " not written\n";
        return 1;
    }
    for (PendingFile* file : {&out, map ? &*map : static_cast<PendingFile*>(nullptr)}) {
        if (!file) continue;
        if (const std::string why = file->commit(); !why.empty()) {
            err << (file == &out ? options.output : options.map) << " cannot be written: " << why << "\n";
            return 1;
        }
    }
    PrintSummary(options, summary, err);
    return 0;
}

} // namespace vz::cli
