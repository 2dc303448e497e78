// Scripts into the script runner: the sequencer drives the four engines against
// a device that accepts everything, and every run must end (completed or with one
// error), never report completion after an error, and leave nothing behind that
// changes the next run.
#include "app/core/link_control.h"
#include "app/core/updater_core.h"
#include "tests/app/recording_face.h"
#include "tests/fuzz/fuzz_support.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace {

using vz::TSequencerState;
using vz::TUpdaterCore;
using vz::fuzz::Check;

// A device that answers "." to every command, with just enough of the boot
// loader, the version reading and the identification readings for a run to go on.
class AcceptingDevice : public vz::TLinkControl {
public:
    void SelectLinkPort(int) override {}
    void SelectLinkPath(const std::string&) override {}
    bool SetLinkRun(bool run) override {
        running = run;
        pending.clear();
        typeCheck = textFollows = false;
        return true;
    }
    void PostTx(const std::string& text) override {
        sent.push_back(text);
        // An empty text puts nothing on the line: there is nothing to answer.
        if (!text.empty()) pending += Answer(text);
    }
    std::string TakeReceived() override {
        std::string chunk;
        chunk.swap(pending);
        return chunk;
    }
    void SetSpeedFast() override {}
    void SetSpeedSlow() override {}

    // The boot loader calls for as long as the host waits for its call.
    void Tick(TUpdaterCore& core) {
        if (running && pending.empty() && core.BootEngine().Busy() &&
            core.BootEngine().Step() == vz::TProgBoot::stAwaitCall)
            pending = "%";
    }

    bool running = false;
    bool typeCheck = false;
    bool textFollows = false;
    std::string pending;
    std::vector<std::string> sent;

private:
    std::string Answer(const std::string& text) {
        // The text that follows "V" c, "UV" or "OP" is data, whatever it looks like.
        if (textFollows) {
            textFollows = false;
            return ".";
        }
        if ((text.size() == 2 && text[0] == 'V') || text == "UV" || text == "OP") {
            textFollows = true;
            return ".";
        }
        if (text == "%") {
            typeCheck = true;
            return ".";
        }
        if (typeCheck) {
            typeCheck = false;
            // Accepted, then the identification: checksum, identifier, options, type byte.
            return ".00001001000012.";
        }
        // Accepted, then the erase done.
        if (text == "PB" || (text.size() == 2 && text[0] == 'P' && text[1] >= '0' && text[1] <= '7'))
            return "..";
        if (text.size() == 2 && text[0] == 'T') return ".0000.";
        if (text.size() == 2 && text[0] == 'D') {
            if (text[1] >= '0' && text[1] <= '7') return ".4F.";
            if (text[1] == '8' || text[1] == '9') return ".0123456789ABCDEF.";
        }
        return ".";
    }
};

const vz::fuzz::ScratchDir& Scratch() {
    static const vz::fuzz::ScratchDir dir("vz_fuzz_script");
    static const bool written = [](const vz::fuzz::ScratchDir& d) {
        d.Write("boot.hex", ":0440000001020304B2\r\n:00000001FF\r\n");
        d.Write("bank.hex", ":0100000011EE\r\n:00000001FF\r\n");
        d.Write("prom.svf", "// p\r\nTRST OFF;\r\nSIR 8 TDI (fe);\r\nSDR 16 TDI (1234);\r\n");
        d.Write("empty.hex", "");
        d.MakeDir("dir.hex");
        return true;
    }(dir);
    (void)written;
    return dir;
}

struct RunRecord {
    bool completed = false;
    bool failed = false;
    std::vector<std::string> memo;
    std::vector<std::string> sent;
    std::vector<std::string> errors;
};

constexpr int kStepLimit = 400000;
// Long enough that the longest "wait" ends within a few hundred steps.
constexpr std::uint32_t kTickMs = 1u << 22;

RunRecord OneRun(TUpdaterCore& core, vz::testing::RecordingFace& face, AcceptingDevice& device,
                 std::uint32_t& now, bool readId, const std::string& script) {
    const std::size_t memoStart = face.memo.size();
    const std::size_t errorStart = face.errorBoxes.size();
    device.sent.clear();
    readId ? core.ReadIdClick() : core.StartClick();
    RunRecord run;
    const auto watch = [&] {
        if (core.State() == TSequencerState::Error) run.failed = true;
        if (core.State() == TSequencerState::Completed) {
            Check(!run.failed, "completed after an error", script);
            run.completed = true;
        }
    };
    for (int steps = 0; steps < kStepLimit && core.State() != TSequencerState::Idle; ++steps) {
        // The device answers at once: time moves on only while nothing is on its way.
        device.Tick(core);
        if (!device.pending.empty()) {
            core.DataReceived();
        } else {
            now += kTickMs;
            core.SequencerStep();
        }
        watch();
    }
    if (core.State() != TSequencerState::Idle)
        vz::fuzz::Fail("the run did not end", "state " + std::to_string(static_cast<int>(core.State())) +
                                                  ", last status \"" + face.memo.back() + "\", script:\n" +
                                                  script);
    // The idle step resets every engine and stops the link.
    core.SequencerStep();
    for (vz::TGestionnaire* engine : {static_cast<vz::TGestionnaire*>(&core.BootEngine()),
                                      static_cast<vz::TGestionnaire*>(&core.InstEngine()),
                                      static_cast<vz::TGestionnaire*>(&core.KeybEngine()),
                                      static_cast<vz::TGestionnaire*>(&core.JtagEngine())})
        Check(!engine->Busy(), "an engine is still busy after the run", script);
    Check(!device.running, "the link still runs after the run", script);

    run.memo.assign(face.memo.begin() + static_cast<std::ptrdiff_t>(memoStart), face.memo.end());
    run.sent = device.sent;
    run.errors.assign(face.errorBoxes.begin() + static_cast<std::ptrdiff_t>(errorStart),
                      face.errorBoxes.end());
    return run;
}

void CheckRun(const RunRecord& run, const std::string& script) {
    Check(run.errors.size() <= 1, "more than one error shown in one run", script);
    Check(run.failed == (run.errors.size() == 1), "an error was not shown", script);
    Check(run.completed != run.failed, "a run must end either completed or with one error", script);
    // The sequencer turns an exception into this error; no script text can start an error box so.
    for (const std::string& error : run.errors)
        Check(!error.starts_with("Internal error: "), "an exception escaped an engine",
              error + "\n" + script);
}

} // namespace

// Input: one flags byte (speed, mode, components, Read Id, model), the script, then
// after a zero byte the content of f.hex and after another the content of f.svf.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const std::uint8_t flags = data[0];
    std::string_view rest(reinterpret_cast<const char*>(data + 1), size - 1);
    std::string parts[3];
    for (std::string& part : parts) {
        const std::size_t cut = rest.find('\0');
        part = std::string(rest.substr(0, cut));
        rest = cut == std::string_view::npos ? std::string_view() : rest.substr(cut + 1);
    }
    const vz::fuzz::ScratchDir& dir = Scratch();
    dir.Write("script.ini", parts[0]);
    dir.Write("f.hex", parts[1]);
    dir.Write("f.svf", parts[2]);

    vz::testing::RecordingFace face;
    face.choices.slow = flags & 0x01;
    face.choices.manual = flags & 0x02;
    face.choices.keyb = flags & 0x04;
    face.choices.prom1 = flags & 0x08;
    face.choices.prom2 = flags & 0x10;
    const bool readId = flags & 0x20;
    static constexpr std::uint8_t kModels[] = {0, 1, 3, 7};
    face.choices.menuModel = kModels[flags >> 6];

    auto link = std::make_unique<AcceptingDevice>();
    AcceptingDevice& device = *link;
    std::uint32_t now = 0;
    vz::EngineClock clock{[&now] { return now; }};
    TUpdaterCore core(face, std::move(link), clock);
    face.core = &core;
    core.FormCreate();
    core.SetScriptArgument(dir.Dir() + "script.ini");
    core.SequencerStep();

    const RunRecord first = OneRun(core, face, device, now, readId, parts[0]);
    CheckRun(first, parts[0]);
    // Nothing of the first run may change the second.
    const RunRecord second = OneRun(core, face, device, now, readId, parts[0]);
    Check(first.completed == second.completed && first.memo == second.memo && first.sent == second.sent &&
              first.errors == second.errors,
          "a second run of the same script went differently", parts[0]);
    return 0;
}
