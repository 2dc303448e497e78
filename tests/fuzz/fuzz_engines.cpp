// Each engine fed one script line and then an arbitrary stream of device answers.
// An engine must end every input busy, done or parked; send at most one text per
// step (the boot loader's repeated type number aside); report nothing after an
// error until Reset; and come back from Reset exactly as new.
#include "engines/gestionnaire.h"
#include "engines/inst_courante.h"
#include "engines/progboot.h"
#include "engines/progjtag.h"
#include "engines/progpsd.h"
#include "tests/fuzz/fuzz_support.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace {

using vz::TGestionnaire;
using vz::fuzz::Check;

const vz::fuzz::ScratchDir& Scratch() {
    static const vz::fuzz::ScratchDir dir("vz_fuzz_engines");
    static const bool written = [](const vz::fuzz::ScratchDir& d) {
        d.Write("a.hex", ":0440000001020304B2\r\n:0100000011EE\r\n:00000001FF\r\n");
        d.Write(
            "e.svf",
            "// e\r\nTRST OFF;\r\nENDIR IDLE;\r\nSTATE RESET IDLE;\r\nSIR 8 TDI (fe) TDO (01) MASK (03);\r\n"
            "SDR 16 TDI (1234) TDO (abcd);\r\nSDR 8 TDI (00);\r\nRUNTEST 10 TCK;\r\n");
        d.Write("bad.svf", "STATE RESET;\r\nSIR 8 TDI (fe)\r\n");
        d.Write("empty.hex", "");
        d.Write("empty.svf", "");
        d.MakeDir("dir.hex");
        d.MakeDir("dir.svf");
        return true;
    }(dir);
    (void)written;
    return dir;
}

// Where each engine parks after an error.
std::uint8_t ParkedStep(int kind) {
    static constexpr std::uint8_t kParked[] = {vz::TProgBoot::stParked, vz::TInstCrt::stParked,
                                               vz::TProgPsd::stParked, vz::TProgJtag::stParked};
    return kParked[kind];
}

std::uint8_t StepOf(TGestionnaire& engine, int kind) {
    switch (kind) {
    case 0:
        return static_cast<vz::TProgBoot&>(engine).Step();
    case 1:
        return static_cast<vz::TInstCrt&>(engine).Step();
    case 2:
        return static_cast<vz::TProgPsd&>(engine).Step();
    default:
        return static_cast<vz::TProgJtag&>(engine).Step();
    }
}

std::unique_ptr<TGestionnaire> MakeEngine(int kind, vz::EngineClock clock) {
    switch (kind) {
    case 0:
        return std::make_unique<vz::TProgBoot>(clock);
    case 1:
        return std::make_unique<vz::TInstCrt>(clock);
    case 2:
        return std::make_unique<vz::TProgPsd>(clock);
    default:
        return std::make_unique<vz::TProgJtag>(clock);
    }
}

// The owner's side, watching every event the engine raises.
struct Owner {
    std::string rx;
    int sends = 0;
    int errors = 0;
    bool lastBusy = false;
    // Anything but a change of the receive text after the error is a report.
    int reportsAfterError = 0;
    std::string line;

    void Bind(TGestionnaire& engine) {
        const auto report = [this] {
            if (errors > 0) ++reportsAfterError;
        };
        engine.OnSend = [this, report](TGestionnaire&) { report(), ++sends; };
        engine.OnRxRequest = [this](TGestionnaire& e) { e.SetRxBuffer(rx); };
        engine.OnRxChanged = [this](TGestionnaire& e) { rx = e.RxBuffer(); };
        engine.OnRxDiscarded = [this](TGestionnaire& e, std::string_view) { rx = e.RxBuffer(); };
        engine.OnBusyChanged = [this, report](TGestionnaire& e) { report(), lastBusy = e.Busy(); };
        engine.OnProgressStep = [report](TGestionnaire&) { report(); };
        engine.OnProgressMax = [report](TGestionnaire&) { report(); };
        engine.OnStatus = [report](TGestionnaire&) { report(); };
        engine.OnError = [this, report](TGestionnaire& e) {
            report(), ++errors;
            Check(!e.Busy(), "an engine reported an error while still busy", line);
        };
        engine.OnDeviceId = [report](TGestionnaire&) { report(); };
        engine.OnLinkFast = [report](TGestionnaire&) { report(); };
        engine.OnLinkSlow = [report](TGestionnaire&) { report(); };
        engine.OnModelFound = [report](TGestionnaire& e, std::uint8_t code) {
            report(), e.SetModelCode(code);
        };
        engine.OnReportedModel = [report](TGestionnaire& e, std::uint8_t code) {
            report(), e.SetReportedModelCode(code);
        };
        engine.OnOptions = [report](TGestionnaire& e, std::int32_t bits) { report(), e.SetOptions(bits); };
    }
};

// One Execute, with the invariants every step must keep.
void Step(TGestionnaire& engine, int kind, Owner& owner) {
    const std::uint8_t before = StepOf(engine, kind);
    const int sends = owner.sends;
    engine.Execute();
    // Every "." after the boot loader's answer restarts the type check and sends its number again.
    if (!(kind == 0 && before == 5))
        Check(owner.sends - sends <= 1, "more than one send in one step", owner.line);
    Check(owner.reportsAfterError == 0, "an engine acted after its error", owner.line);
    Check(owner.errors <= 1, "a second error without Reset", owner.line);
    Check(engine.Busy() == owner.lastBusy, "Busy differs from what the engine reported", owner.line);
    Check(engine.RetryCount() <= 301, "more than 301 retransmissions", owner.line);
}

void CheckEnd(TGestionnaire& engine, int kind, const Owner& owner) {
    const std::uint8_t step = StepOf(engine, kind);
    if (owner.errors > 0) {
        Check(!engine.Busy() && step == ParkedStep(kind), "failed but not parked", owner.line);
    } else if (!engine.Busy()) {
        Check(step == 0, "done but not back in the idle step", owner.line);
    }
}

} // namespace

// Input: a selector byte (engine, speed, menu model, clock pace), the script line up
// to the first line feed, then the device's answers; each zero byte ends a chunk
// and one Execute follows every chunk (a zero never reaches the engines).
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const std::uint8_t selector = data[0];
    const int kind = selector & 0x03;
    std::string_view rest(reinterpret_cast<const char*>(data + 1), size - 1);
    const std::size_t lineEnd = rest.find('\n');
    const std::string line(rest.substr(0, lineEnd));
    rest = lineEnd == std::string_view::npos ? std::string_view() : rest.substr(lineEnd + 1);

    std::uint32_t now = 0;
    const std::uint32_t pace = 100u * ((selector >> 5) & 0x07);
    auto engine = MakeEngine(kind, vz::EngineClock{[&now] { return now; }});
    Owner owner;
    owner.line = line;
    owner.Bind(*engine);
    engine->SetScriptDir(Scratch().Dir());
    engine->SetSlowMode(selector & 0x04);
    static constexpr std::uint8_t kMenuModels[] = {0, 1, 3, 9};
    engine->SetMenuModel(kMenuModels[(selector >> 3) & 0x03]);

    engine->SetCurrentLine(line);
    Step(*engine, kind, owner);
    const bool accepted = engine->Busy();
    // The recognising call takes the line and nothing else.
    Check(owner.sends == 0 && owner.errors == 0, "the recognising call sent or failed", line);
    if (!accepted) Check(StepOf(*engine, kind) == 0, "a line not taken moved the engine", line);

    for (;;) {
        const std::size_t cut = rest.find('\0');
        owner.rx += std::string(rest.substr(0, cut));
        now += pace;
        Step(*engine, kind, owner);
        if (cut == std::string_view::npos) break;
        rest = rest.substr(cut + 1);
    }
    // Steps that need no answer (finishing, sending a checksum) still run.
    for (int i = 0; i < 3; ++i)
        Step(*engine, kind, owner);
    CheckEnd(*engine, kind, owner);

    // Reset makes the engine as new: the same line is taken the same way again.
    engine->Reset();
    Check(!engine->Busy() && StepOf(*engine, kind) == 0 && engine->RxBuffer().empty(), "Reset left state",
          line);
    Owner fresh;
    fresh.line = line;
    fresh.Bind(*engine);
    engine->SetCurrentLine(line);
    Step(*engine, kind, fresh);
    Check(engine->Busy() == accepted, "the line was taken differently after Reset", line);
    return 0;
}
