#include "app/cli/convert_command.h"

#include "app/cli/cli_platform.h"
#include "app/cli/run_command.h"
#include "formats/svf_convert.h"

#include <CLI/CLI.hpp>

#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iomanip>
#include <optional>
#include <ostream>
#include <random>
#include <streambuf>
#include <vector>

namespace vz::cli {

namespace {

constexpr double kDeviceBaud = 57600;

// Writes through an ExclusiveFile, a block at a time.
class ExclusiveFileBuffer : public std::streambuf {
public:
    explicit ExclusiveFileBuffer(ExclusiveFile& file) : file_(file), buffer_(1 << 16) {
        setp(buffer_.data(), buffer_.data() + buffer_.size());
    }
    ExclusiveFileBuffer(const ExclusiveFileBuffer&) = delete;
    ExclusiveFileBuffer& operator=(const ExclusiveFileBuffer&) = delete;

protected:
    int_type overflow(int_type c) override {
        if (!Drain()) return traits_type::eof();
        if (!traits_type::eq_int_type(c, traits_type::eof())) {
            *pptr() = traits_type::to_char_type(c);
            pbump(1);
        }
        return traits_type::not_eof(c);
    }
    int sync() override { return Drain() ? 0 : -1; }

private:
    bool Drain() {
        const auto size = static_cast<std::size_t>(pptr() - pbase());
        setp(buffer_.data(), buffer_.data() + buffer_.size());
        return size == 0 || file_.Write(buffer_.data(), size);
    }

    ExclusiveFile& file_;
    std::vector<char> buffer_;
};

// A file written under a name of its own beside its place and put there only
// when complete. The temporary name is new, so no file already there (the
// input, a link) is ever written through it; it is removed on every way out.
class PendingFile {
public:
    explicit PendingFile(std::string path) : path_(std::move(path)) {
        std::random_device seed;
        std::mt19937 random(seed());
        for (int attempt = 0; attempt < 100; ++attempt) {
            char suffix[16];
            std::snprintf(suffix, sizeof suffix, ".%08x.part", static_cast<unsigned>(random()));
            const std::string candidate = path_ + suffix;
            const ExclusiveFile::Outcome outcome = file_.Create(candidate);
            if (outcome == ExclusiveFile::Outcome::Exists) continue;
            if (outcome == ExclusiveFile::Outcome::Created) temporary_ = candidate;
            break;
        }
    }
    ~PendingFile() {
        if (committed_ || temporary_.empty()) return;
        file_.Close();
        std::error_code ec;
        std::filesystem::remove(temporary_, ec);
    }
    PendingFile(const PendingFile&) = delete;
    PendingFile& operator=(const PendingFile&) = delete;

    std::ostream& Stream() { return stream_; }
    bool Opened() const { return file_.IsOpen(); }
    // Empty when the file is in place, else why not.
    std::string Commit() {
        stream_.flush();
        const bool written = stream_.good();
        if (!file_.Close() || !written) return "cannot be written";
        std::error_code ec;
        std::filesystem::rename(temporary_, path_, ec);
        if (ec) return ec.message();
        committed_ = true;
        return {};
    }

private:
    std::string path_;
    std::string temporary_;
    ExclusiveFile file_;
    ExclusiveFileBuffer buffer_{file_};
    std::ostream stream_{&buffer_};
    bool committed_ = false;
};

// True when both names lead to one file, however they are written.
bool SameFile(const std::string& a, const std::string& b) {
    namespace fs = std::filesystem;
    std::error_code ec;
    if (fs::exists(a, ec) && fs::exists(b, ec)) {
        const bool same = fs::equivalent(a, b, ec);
        if (!ec) return same;
    }
    const auto normal = [](const std::string& path) {
        std::error_code error;
        fs::path canonical = fs::weakly_canonical(path, error);
        return error ? fs::absolute(path, error).lexically_normal() : canonical;
    };
    return normal(a) == normal(b);
}

// SIGINT and SIGTERM end the conversion before the next statement, so that the
// temporary files are removed on the way out like on any other failure.
volatile std::sig_atomic_t g_convertInterrupted = 0;

void OnConvertInterrupt(int) {
    g_convertInterrupted = 1;
}

class InterruptGuard {
public:
    InterruptGuard()
        : previousInt_(std::signal(SIGINT, OnConvertInterrupt)),
          previousTerm_(std::signal(SIGTERM, OnConvertInterrupt)) {}
    ~InterruptGuard() {
        std::signal(SIGINT, previousInt_);
        std::signal(SIGTERM, previousTerm_);
    }
    InterruptGuard(const InterruptGuard&) = delete;
    InterruptGuard& operator=(const InterruptGuard&) = delete;

private:
    using Handler = void (*)(int);
    Handler previousInt_;
    Handler previousTerm_;
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
    // Checked before anything is opened for writing: each would empty the other.
    const auto clash = [&](const std::string& option, const std::string& path, const std::string& other) {
        err << option << " and " << other << " are the same file (" << path << "): nothing written\n";
        return kRunFailed;
    };
    if (SameFile(options.output, options.input)) return clash("OUT", options.output, "IN");
    if (!options.map.empty()) {
        if (SameFile(options.map, options.input)) return clash("--map", options.map, "IN");
        if (SameFile(options.map, options.output)) return clash("--map", options.map, "OUT");
    }
    std::ifstream in(options.input, std::ios::binary);
    if (!in) {
        std::error_code ec;
        if (!std::filesystem::exists(options.input, ec))
            err << options.input << " File not found !!!\n";
        else
            err << options.input << " cannot be read\n";
        return kRunFailed;
    }
    g_convertInterrupted = 0;
    const InterruptGuard interruptGuard;
    PendingFile out(options.output);
    if (!out.Opened()) {
        err << options.output << " cannot be written\n";
        return kRunFailed;
    }
    std::optional<PendingFile> map;
    if (!options.map.empty()) {
        map.emplace(options.map);
        if (!map->Opened()) {
            err << options.map << " cannot be written\n";
            return kRunFailed;
        }
    }
    SvfConvertOptions convert;
    convert.sourceName = options.input;
    convert.tckHz = options.tckHz;
    convert.idleRuntest = options.idleRuntest;
    convert.traceEvery = options.traceEvery;
    convert.stopRequested = [] { return g_convertInterrupted != 0; };
    SvfConvertSummary summary;
    std::vector<std::string> problems;
    const bool ok = ConvertSvf(in, out.Stream(), map ? &map->Stream() : nullptr, convert, summary, problems);
    if (summary.stopped) {
        err << options.output << " not written: interrupted\n";
        return kInterrupted;
    }
    if (!ok) {
        for (const auto& p : problems)
            err << p << "\n";
        if (summary.problemsFound > problems.size())
            err << "... and " << summary.problemsFound - problems.size() << " more\n";
        err << options.input << ": " << summary.problemsFound << " problem(s), " << options.output
            << " not written\n";
        return kRunFailed;
    }
    for (PendingFile* file : {&out, map ? &*map : static_cast<PendingFile*>(nullptr)}) {
        if (!file) continue;
        if (const std::string why = file->Commit(); !why.empty()) {
            err << (file == &out ? options.output : options.map) << " cannot be written: " << why << "\n";
            return kRunFailed;
        }
    }
    PrintSummary(options, summary, err);
    return kCompleted;
}

} // namespace vz::cli
