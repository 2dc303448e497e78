// The device's JTAG chain (TDI -> PROM 1 -> PROM 2 -> TDO) behind its TAP
// controller, and the player that carries out one JTAG command on it. The
// commands are what a command record or an Effect file statement asks for.
#pragma once

#include "emulator/memory_image.h"
#include "emulator/prom.h"
#include "emulator/tap.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace vz::emu {

class JtagChain {
public:
    JtagChain(std::array<std::uint32_t, 2> idcodes, std::array<Bytes*, 2> memories);

    TapState state() const { return state_; }
    // One TCK: shifts when in a shift state, then moves; returns TDO.
    bool clock(bool tms, bool tdi);
    void moveTo(TapState target);
    // Back to Test-Logic-Reset as after power-up.
    void powerUp();
    Prom& prom(int index) { return proms_.at(static_cast<std::size_t>(index)); }
    const Prom& prom(int index) const { return proms_.at(static_cast<std::size_t>(index)); }
    // 64 bits as the chain shifts them out in IDCODE: PROM 2's code first, then PROM 1's.
    std::uint64_t chainIdcode() const;

private:
    void enter(TapState state);

    TapState state_ = TapState::Reset;
    std::array<Prom, 2> proms_;
};

struct JtagCommand {
    enum class Kind { RunTest, State, EndIr, EndDr, Scan };
    Kind kind = Kind::State;
    std::uint32_t clocks = 0;           // RunTest
    std::vector<TapState> path;         // State
    TapState endState = TapState::Idle; // EndIr, EndDr
    // Scan: instruction or data register; a long scan comes in pieces, the first
    // with `start` (enter the shift state), the last with `end` (leave it).
    bool instructionRegister = false;
    bool start = true;
    bool end = true;
    bool wantTdo = false;
    int length = 0;
    Bytes tdi; // least significant byte first: bit 0 of tdi[0] is shifted first
};

struct JtagOutcome {
    bool ok = true;
    std::string problem; // why the command could not be carried out
    Bytes tdo;           // bits shifted out, packed like tdi (only for scans)
};

class JtagPlayer {
public:
    explicit JtagPlayer(JtagChain& chain) : chain_(chain) {}
    JtagOutcome execute(const JtagCommand& command);
    // Start of a new Effect file: default end states.
    void resetEndStates();
    TapState endIr() const { return endIr_; }
    TapState endDr() const { return endDr_; }

private:
    JtagOutcome scan(const JtagCommand& command);
    JtagOutcome followPath(const std::vector<TapState>& path);

    JtagChain& chain_;
    TapState endIr_ = TapState::Idle;
    TapState endDr_ = TapState::Idle;
};

} // namespace vz::emu
