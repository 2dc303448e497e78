// Random script lines and random device streams for every engine: whatever
// arrives, an engine never reads outside a text, sends at most one command per
// step (the boot loader's repeated type number excepted) and is always either
// busy, idle or parked.
#include "engines/inst_courante.h"
#include "engines/progboot.h"
#include "engines/progjtag.h"
#include "engines/progpsd.h"
#include "fake_owner.h"
#include "formats/text_lines.h"

#include <gtest/gtest.h>

#include <memory>
#include <random>

namespace vz::test {
namespace {

struct Subject {
    std::unique_ptr<TGestionnaire> engine;
    std::function<int()> step;
    int parked;
    int repeatingStep; // the one step allowed to send more than once, or -1
};

template <typename Engine> Subject MakeOne(FakeClock& clock, int parked, int repeatingStep) {
    auto engine = std::make_unique<Engine>(clock.Clock());
    auto* raw = engine.get();
    return {std::move(engine), [raw] { return int(raw->Step()); }, parked, repeatingStep};
}

Subject Make(int kind, FakeClock& clock) {
    if (kind == 0) return MakeOne<TInstCrt>(clock, TInstCrt::stParked, -1);
    // Waiting to be synchronised, the boot loader engine answers every "." again.
    if (kind == 1) return MakeOne<TProgBoot>(clock, TProgBoot::stParked, TProgBoot::stAwaitSynchronised);
    if (kind == 2) return MakeOne<TProgPsd>(clock, TProgPsd::stParked, -1);
    return MakeOne<TProgJtag>(clock, TProgJtag::stParked, -1);
}

class Noise {
public:
    explicit Noise(unsigned seed) : rng_(seed) {}
    int Below(int n) { return std::uniform_int_distribution<int>(0, n - 1)(rng_); }
    template <typename T> const T& Pick(const std::vector<T>& items) {
        return items[Below(int(items.size()))];
    }
    std::string Text(const std::string& alphabet, int maxLength) {
        std::string out(Below(maxLength + 1), ' ');
        for (char& c : out)
            c = Below(8) == 0 ? char(Below(256)) : alphabet[Below(int(alphabet.size()))];
        return out;
    }

private:
    std::mt19937 rng_;
};

// Line starts each engine takes (by kind), then a few that belong to no one.
const std::vector<std::string> kHeads[5] = {
    {"prompt", "wait ", "wait", "RS", "NP", "FI", "V", "T", "UV", "OP"},
    {"SYN", "PB ", "P B", "PB"},
    {"P0 ", "P 7", "D3", "F1", "D 0"},
    {"P8 ", "P 9 ", "D9", "F8", "D 8"},
    {"P", "P ", "D", "F", "rem", "", "P7 x"},
};
const std::vector<std::string> kTails = {"",     "boot.hex", "k.hex", "a.svf", "r.svf",   "e.svf", "s.svf",
                                         "1A2B", "0105",     " 12",   "x",     "missing", "."};

TEST(RandomEngines, NoFaultWhateverTheScriptAndTheDevice) {
    TempDir dir;
    dir.Write("boot.hex", ":0440000001020304B2\n:02400\n:FF\n\n:00000001FF\n");
    dir.Write("k.hex", ":0480000001020304\n:0000000\nnot hex\n");
    dir.Write("a.svf", "STATE RESET;\nSDR 16 TDI (1234) TDO (abcd);\nSIR 8 TDI (fe);\n");
    dir.Write("e.svf", "");
    dir.Write("s.svf", "// c\nSTATE RESET;\n");
    Noise noise(20240611);
    std::string svf;
    const std::vector<std::string> statements =
        SplitLines("// c\nTRST OFF;\nENDIR IDLE;\nSTATE RESET IDLE;\nRUNTEST 10 TCK;\nSIR 8 TDI "
                   "(fe);\nSDR\nSIR 9 TDI (1\n"
                   "SDR 8 TDI (A5) TDO (5A) MASK (FF);\nSDR 32 TDI (00000000) TDO (f5046093);\nBAD\n\nSDR 24 "
                   "TDI (123);");
    for (int i = 0; i < 40; ++i)
        svf += noise.Pick(statements) + "\n";
    dir.Write("r.svf", svf);
    // A noisy device, and a mostly willing one that lets runs get deep into their steps.
    const std::string noisy = std::string(".....XRI%") + "\x1B" + "0123456789ABCDEF";
    const std::string willing = std::string("...............R%") + "\x1B";

    for (int iteration = 0; iteration < 4000; ++iteration) {
        FakeClock clock;
        Subject s = Make(iteration % 4, clock);
        TGestionnaire& engine = *s.engine;
        FakeOwner owner(engine);
        owner.strict = false;
        engine.SetScriptDir(dir.Dir());
        engine.SetSlowMode(noise.Below(2) == 0);
        engine.SetMenuModel(static_cast<std::uint8_t>(noise.Below(9)));
        engine.SetModelCode(static_cast<std::uint8_t>(noise.Below(8)));
        const std::string& answers = noise.Below(2) == 0 ? noisy : willing;
        const std::string middle = noise.Below(2) == 0 ? noise.Text(" 0189", 2) : "";
        const std::string line = noise.Pick(kHeads[noise.Below(4) == 0 ? noise.Below(5) : iteration % 4]) +
                                 middle + noise.Pick(kTails);
        owner.Dispatch(line);
        for (int step = 0; step < 200; ++step) {
            if (noise.Below(3) == 0) owner.rx += noise.Text(answers, 8);
            if (noise.Below(50) == 0) engine.SetCurrentLine(noise.Text(answers, 3)); // a careless owner
            clock.now += static_cast<std::uint32_t>(noise.Below(400));
            const int before = s.step();
            const std::size_t sent = owner.sent.size();
            owner.Step();
            if (before != s.repeatingStep) {
                ASSERT_LE(owner.sent.size() - sent, 1u) << line << " step " << before;
            }
            const int now = s.step();
            ASSERT_EQ(engine.Busy(), now != 0 && now != s.parked) << line << " step " << now;
            if (now == s.parked) {
                ASSERT_FALSE(owner.errors.empty()) << line;
            }
        }
        if (noise.Below(4) == 0) {
            engine.Reset();
            ASSERT_EQ(s.step(), 0);
            ASSERT_FALSE(engine.Busy());
        }
    }
}

} // namespace
} // namespace vz::test
