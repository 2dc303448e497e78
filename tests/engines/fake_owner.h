// Test owner for the engines: binds every event, plays the device's side from a
// transcript and records everything the engine does, in order.
#pragma once

#include "engines/gestionnaire.h"
#include "engines/inst_courante.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <deque>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

namespace vz::test {

// Line ends and ESC made readable in failure messages.
inline std::string Visible(const std::string& text) {
    std::string out;
    for (char c : text)
        out += c == '\r' ? "\\r" : c == '\n' ? "\\n" : c == '\x1B' ? "<ESC>" : std::string(1, c);
    return out;
}

// A millisecond clock that moves only when told to, or by `stepMs` each time it is read
// (a sequencer's timer going round while an engine waits for the clock).
class FakeClock {
public:
    std::uint32_t now = 0;
    std::uint32_t stepMs = 0;

    EngineClock Clock() {
        return EngineClock{[this] {
            const std::uint32_t read = now;
            now += stepMs;
            return read;
        }};
    }
};

// A directory of data files, removed with the object.
class TempDir {
public:
    TempDir() {
        static std::mt19937 seed(std::random_device{}());
        path_ = std::filesystem::temp_directory_path() / ("vz_engines_" + std::to_string(seed()));
        std::filesystem::create_directories(path_);
    }
    ~TempDir() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    // The directory with its trailing separator, as engines take it.
    std::string Dir() const { return path_.string() + "/"; }
    void Write(const std::string& name, const std::string& content) const {
        std::ofstream(path_ / name, std::ios::binary) << content;
    }

private:
    std::filesystem::path path_;
};

class FakeOwner {
public:
    explicit FakeOwner(TGestionnaire& engine) : engine_(engine) {
        engine.OnSend = [this](TGestionnaire& e) { Sent(e.TxText()); };
        engine.OnRxRequest = [this](TGestionnaire& e) { e.SetRxBuffer(rx); };
        engine.OnRxChanged = [this](TGestionnaire& e) { rx = e.RxBuffer(); };
        engine.OnRxDiscarded = [this](TGestionnaire& e, std::string_view text) {
            rx = e.RxBuffer();
            discarded += text;
        };
        engine.OnBusyChanged = [this](TGestionnaire& e) { Log(e.Busy() ? "busy" : "idle"); };
        engine.OnProgressStep = [this](TGestionnaire&) { Log("step"); };
        engine.OnProgressMax = [this](TGestionnaire& e) { Log("max:" + std::to_string(e.ProgressMax())); };
        engine.OnStatus = [this](TGestionnaire& e) { Log("status:" + e.StatusText()); };
        engine.OnError = [this](TGestionnaire& e) {
            errors.push_back(e.ErrorText()), Log("error:" + e.ErrorText());
        };
        engine.OnDeviceId = [this](TGestionnaire& e) { Log("id:" + std::to_string(e.DeviceId())); };
        engine.OnLinkFast = [this](TGestionnaire&) { Log("fast"); };
        engine.OnLinkSlow = [this](TGestionnaire&) { Log("slow"); };
        // The identity values go back into the engine, as the main window pushes them.
        engine.OnModelFound = [this](TGestionnaire& e, std::uint8_t code) {
            e.SetModelCode(code), Log("model:" + std::to_string(code));
        };
        engine.OnReportedModel = [this](TGestionnaire& e, std::uint8_t code) {
            e.SetReportedModelCode(code), Log("reported:" + std::to_string(code));
        };
        engine.OnOptions = [this](TGestionnaire& e, std::int32_t bits) {
            e.SetOptions(bits), Log("options:" + std::to_string(bits));
        };
        if (auto* inst = dynamic_cast<TInstCrt*>(&engine)) {
            inst->OnVersionSame = [this](TGestionnaire&, std::int32_t c) {
                Log("same:" + std::to_string(c));
            };
            inst->OnVersionWritten = [this](TGestionnaire&, char c, const std::string& text) {
                Log(std::string("written:") + c + "=" + text);
            };
        }
    }

    // An item beginning with '>' is the engine's next send (without the '>'); the
    // other items are the device's answer chunks that follow it, one per step.
    void Transcript(const std::vector<std::string>& items) {
        for (const std::string& item : items)
            script_.push_back(item.starts_with('>') ? Item{true, item.substr(1)} : Item{false, item});
    }

    // Offers a script line as the sequencer does, then one Execute.
    void Dispatch(const std::string& line) {
        engine_.SetCurrentLine(line);
        Step();
    }
    // Delivers at most one waiting chunk, then one Execute.
    void Step() {
        TakeLeadingAnswers();
        if (!arriving_.empty()) rx += arriving_.front(), arriving_.pop_front();
        engine_.Execute();
    }
    // Steps while the engine is busy; returns the number of steps taken.
    int Run(int limit = 5000) {
        int steps = 0;
        while (engine_.Busy() && steps < limit)
            Step(), ++steps;
        return steps;
    }
    // Offers the line, steps until the engine is no longer busy, checks the transcript.
    void Play(const std::string& line, const std::vector<std::string>& transcript, int limit = 5000) {
        Transcript(transcript);
        Dispatch(line);
        Run(limit);
        VerifyDone();
    }
    // Fails on transcript lines and answers left over.
    void VerifyDone() {
        TakeLeadingAnswers();
        for (const Item& item : script_)
            ADD_FAILURE() << "Never sent: " << Visible(item.text);
        for (const std::string& chunk : arriving_)
            ADD_FAILURE() << "Answer never delivered: " << Visible(chunk);
    }
    // The log without sends and busy changes, which transcripts and Busy() cover.
    std::vector<std::string> Events() const {
        std::vector<std::string> out;
        for (const std::string& entry : log)
            if (!entry.starts_with("send:") && entry != "busy" && entry != "idle") out.push_back(entry);
        return out;
    }

    bool strict = true;    // false: sends are recorded, not checked
    std::string rx;        // the shared receive text
    std::string discarded; // what the engine dropped as no answer
    std::deque<std::string> arriving_;
    std::vector<std::string> sent, errors, log;

private:
    struct Item {
        bool isSend;
        std::string text;
    };
    void TakeLeadingAnswers() {
        while (!script_.empty() && !script_.front().isSend) {
            arriving_.push_back(script_.front().text);
            script_.pop_front();
        }
    }
    void Log(const std::string& entry) { log.push_back(entry); }
    void Sent(const std::string& text) {
        sent.push_back(text);
        Log("send:" + Visible(text));
        if (!strict) return;
        TakeLeadingAnswers();
        if (script_.empty()) {
            ADD_FAILURE() << "Unexpected send: " << Visible(text);
        } else if (script_.front().text != text) {
            ADD_FAILURE() << "Sent " << Visible(text) << " instead of " << Visible(script_.front().text);
        } else {
            script_.pop_front();
        }
    }

    TGestionnaire& engine_;
    std::deque<Item> script_;
};

// `list` followed by `more`.
inline std::vector<std::string> Join(std::vector<std::string> list, const std::vector<std::string>& more) {
    list.insert(list.end(), more.begin(), more.end());
    return list;
}

// One script line against a scripted device, on a freshly reset engine.
struct EngineCase {
    std::string line;
    std::vector<std::string> transcript;
    std::vector<std::string> events; // as FakeOwner::Events gives them
    std::string rxLeft = "";
};

inline void CheckCase(TGestionnaire& engine, const EngineCase& c) {
    engine.Reset();
    FakeOwner owner(engine);
    owner.Play(c.line, c.transcript);
    EXPECT_EQ(owner.Events(), c.events) << c.line;
    EXPECT_EQ(owner.rx, c.rxLeft) << c.line;
    if (owner.errors.empty()) return;
    owner.strict = false;
    owner.Dispatch(c.line);
    EXPECT_FALSE(engine.Busy()) << c.line << ": an engine that failed stays parked until Reset";
    EXPECT_EQ(owner.errors.size(), 1u) << c.line;
}

} // namespace vz::test
