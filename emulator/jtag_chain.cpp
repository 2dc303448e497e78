#include "emulator/jtag_chain.h"

namespace vz::emu {

JtagChain::JtagChain(std::array<std::uint32_t, 2> idcodes, std::array<Bytes*, 2> memories)
    : proms_{Prom(idcodes[0], memories[0]), Prom(idcodes[1], memories[1])} {
    powerUp();
}

void JtagChain::powerUp() {
    state_ = TapState::Reset;
    for (auto& p : proms_)
        p.testLogicReset();
}

std::uint64_t JtagChain::chainIdcode() const {
    return static_cast<std::uint64_t>(proms_[0].idcode()) << 32 | proms_[1].idcode();
}

bool JtagChain::clock(bool tms, bool tdi) {
    bool tdo = tdi;
    if (state_ == TapState::DrShift) {
        bool middle = proms_[0].shiftDr(tdi);
        tdo = proms_[1].shiftDr(middle);
    } else if (state_ == TapState::IrShift) {
        bool middle = proms_[0].shiftIr(tdi);
        tdo = proms_[1].shiftIr(middle);
    }
    enter(NextTapState(state_, tms));
    return tdo;
}

void JtagChain::enter(TapState state) {
    state_ = state;
    for (auto& p : proms_) {
        switch (state) {
        case TapState::Reset:
            p.testLogicReset();
            break;
        case TapState::DrCapture:
            p.captureDr();
            break;
        case TapState::DrUpdate:
            p.updateDr();
            break;
        case TapState::IrCapture:
            p.captureIr();
            break;
        case TapState::IrUpdate:
            p.updateIr();
            break;
        default:
            break;
        }
    }
}

void JtagChain::moveTo(TapState target) {
    for (bool tms : TmsPath(state_, target))
        clock(tms, false);
}

void JtagPlayer::resetEndStates() {
    endIr_ = TapState::Idle;
    endDr_ = TapState::Idle;
}

JtagOutcome JtagPlayer::execute(const JtagCommand& command) {
    switch (command.kind) {
    case JtagCommand::Kind::RunTest:
        chain_.moveTo(TapState::Idle);
        for (int i = 0; i < 2; ++i)
            chain_.prom(i).runTest(command.clocks);
        return {};
    case JtagCommand::Kind::State:
        return followPath(command.path);
    case JtagCommand::Kind::EndIr:
    case JtagCommand::Kind::EndDr:
        if (!IsStableState(command.endState))
            return {false,
                    "end state " + std::string(TapStateName(command.endState)) + " is not a stable state",
                    {}};
        (command.kind == JtagCommand::Kind::EndIr ? endIr_ : endDr_) = command.endState;
        return {};
    case JtagCommand::Kind::Scan:
        return scan(command);
    }
    return {false, "unknown command", {}};
}

JtagOutcome JtagPlayer::followPath(const std::vector<TapState>& path) {
    for (TapState next : path) {
        TapState now = chain_.state();
        if (next == now) continue;
        if (NextTapState(now, false) == next) {
            chain_.clock(false, false);
        } else if (NextTapState(now, true) == next) {
            chain_.clock(true, false);
        } else if (IsStableState(next)) {
            chain_.moveTo(next);
        } else {
            return {false,
                    "no single step leads from " + std::string(TapStateName(now)) + " to " +
                        std::string(TapStateName(next)),
                    {}};
        }
    }
    if (!path.empty() && !IsStableState(chain_.state()))
        return {
            false, "path ends in " + std::string(TapStateName(chain_.state())) + ", not a stable state", {}};
    return {};
}

JtagOutcome JtagPlayer::scan(const JtagCommand& command) {
    const bool ir = command.instructionRegister;
    const TapState shift = ir ? TapState::IrShift : TapState::DrShift;
    const TapState capture = ir ? TapState::IrCapture : TapState::DrCapture;
    const char* name = ir ? "instruction" : "data";
    if (command.length < 0 || static_cast<std::size_t>(command.length) > command.tdi.size() * 8)
        return {false, std::string(name) + " scan has fewer TDI bits than its length", {}};

    if (command.start) {
        if (chain_.state() == TapState::IrShift || chain_.state() == TapState::DrShift)
            return {false, std::string(name) + " scan starts while an earlier scan is still open", {}};
        chain_.moveTo(capture);
        // An empty scan that ends goes from capture straight to exit, shifting nothing.
        chain_.clock(command.length == 0 && command.end, false);
    } else if (chain_.state() != shift) {
        return {false, std::string(name) + " scan continues a scan that was never started", {}};
    }

    JtagOutcome outcome;
    outcome.tdo.assign((static_cast<std::size_t>(command.length) + 7) / 8, 0);
    for (int i = 0; i < command.length; ++i) {
        auto k = static_cast<std::size_t>(i);
        bool tdi = (command.tdi[k / 8] >> (k % 8)) & 1;
        bool last = command.end && i == command.length - 1;
        if (chain_.clock(last, tdi)) outcome.tdo[k / 8] |= static_cast<std::uint8_t>(1 << (k % 8));
    }
    if (command.end) chain_.moveTo(ir ? endIr_ : endDr_);
    return outcome;
}

} // namespace vz::emu
