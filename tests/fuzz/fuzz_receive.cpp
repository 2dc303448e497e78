// Bytes on the receive path without end: whatever the line delivers, over and
// over, the sequencer keeps what it has not understood within its bound, says
// nothing unprintable to a person, and never ends a run as completed when the
// device never answered the script.
#include "app/core/link_control.h"
#include "app/core/updater_core.h"
#include "tests/app/recording_face.h"
#include "tests/fuzz/fuzz_support.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <utility>

namespace {

using vz::TUpdaterCore;
using vz::fuzz::Check;

// Plays the boot loader's call and identification first when asked, then the
// input again and again in chunks the size the link thread hands over.
class EndlessLine : public vz::TLinkControl {
public:
    EndlessLine(std::string input, bool answerCall) : input_(std::move(input)), answerCall_(answerCall) {}

    void SelectLinkPort(int) override {}
    void SelectLinkPath(const std::string&) override {}
    bool SetLinkRun(bool) override { return true; }
    void PostTx(const std::string& text) override {
        if (!answerCall_) return;
        if (text == "%") pending_ += ".";
        if (text == "21") pending_ += ".ABCD8012000212.";
    }
    std::string TakeReceived() override {
        if (!pending_.empty()) return std::exchange(pending_, {});
        if (answerCall_ && !called_) {
            called_ = true;
            return "%";
        }
        std::string chunk;
        while (chunk.size() < 100 && !input_.empty()) {
            chunk += input_[at_];
            at_ = (at_ + 1) % input_.size();
        }
        return chunk;
    }
    void SetSpeedFast() override {}
    void SetSpeedSlow() override {}

private:
    std::string input_;
    bool answerCall_;
    bool called_ = false;
    std::string pending_;
    std::size_t at_ = 0;
};

const vz::fuzz::ScratchDir& Scratch() {
    static const vz::fuzz::ScratchDir dir("vz_fuzz_receive");
    static const bool written = [](const vz::fuzz::ScratchDir& d) {
        d.MakeDir("KRB350");
        d.Write("KRB350/script.ini", "RS\r\nRS\r\n");
        return true;
    }(dir);
    (void)written;
    return dir;
}

bool Printable(const std::string& line) {
    for (const char c : line)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) return false;
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const bool answerCall = (data[0] & 1) != 0;
    std::string input(reinterpret_cast<const char*>(data + 1), size - 1);
    // A line that never sends "." cannot complete "RS".
    const bool canAnswer = input.find('.') != std::string::npos;

    vz::testing::RecordingFace face;
    std::uint32_t now = 0;
    vz::EngineClock clock{[&now] { return now; }};
    TUpdaterCore core(face, std::make_unique<EndlessLine>(std::move(input), answerCall), clock);
    face.core = &core;
    core.SetRootDir(Scratch().Dir());
    core.FormCreate();
    core.StartClick();
    for (int i = 0; i < 3000 && core.RunInProgress(); ++i) {
        now += 10;
        core.DataReceived();
        core.SequencerStep();
        Check(core.RxText().size() <= TUpdaterCore::kRxTextLimit, "receive text over its bound");
        Check(core.NoAnswer().first.size() <= 64, "no-answer sample over its bound");
    }
    for (const std::string& line : face.memo)
        Check(Printable(line), "unprintable memo line", line);
    if (!canAnswer) Check(core.Outcome() != vz::TRunOutcome::Completed, "completed without an answer");
    return 0;
}
