// A face that records what the sequencer shows, and a link with a scripted device
// behind it: each expected text is answered with its reply, anything else is noted.
#pragma once

#include "app/core/link_control.h"
#include "app/core/main_face.h"
#include "app/core/updater_core.h"

#include <deque>
#include <string>
#include <vector>

namespace vz::testing {

class RecordingFace : public TMainFace {
public:
    void MemoLineAdded(const std::string& line) override { memo.push_back(line); }
    void ProgressChanged() override {}
    void ControlsChanged() override {
        if (core) captions.push_back(core->Controls().StartCaption);
    }
    void Repaint() override {
        if (core) titles.push_back(core->Title());
    }
    void ShowErrorBox(const std::string& text) override { errorBoxes.push_back(text); }
    RunChoices Choices() override { return choices; }
    void CloseWindow() override { closed = true; }
    void Advise(const std::string& text) override { advice.push_back(text); }

    TUpdaterCore* core = nullptr;
    std::vector<std::string> advice;
    RunChoices choices;
    std::vector<std::string> memo;
    std::vector<std::string> captions;
    std::vector<std::string> titles;
    std::vector<std::string> errorBoxes;
    bool closed = false;
};

class ScriptedLink : public TLinkControl {
public:
    struct Exchange {
        std::string expect;
        std::string reply;
    };

    // What the device sends by itself until the host first answers (the boot loader's call).
    std::string onRun;
    std::deque<Exchange> script;
    std::vector<std::string> sent;
    std::vector<std::string> unexpected;
    std::string pendingRx;
    bool running = false;
    int port = 0;
    std::string path;
    std::vector<std::string> speeds;
    bool refuseRun = false;

    void SelectLinkPort(int n) override { port = n; }
    void SelectLinkPath(const std::string& p) override { path = p; }
    bool SetLinkRun(bool run) override {
        if (run && refuseRun) return false;
        running = run;
        return true;
    }
    void PostTx(const std::string& text) override {
        sent.push_back(text);
        if (!script.empty() && script.front().expect == text) {
            pendingRx += script.front().reply;
            script.pop_front();
        } else {
            unexpected.push_back(text);
        }
    }
    // The boot loader calls again and again until it is answered.
    void Tick() {
        if (running && sent.empty() && pendingRx.empty()) pendingRx = onRun;
    }
    std::string TakeReceived() override {
        std::string chunk;
        chunk.swap(pendingRx);
        return chunk;
    }
    void SetSpeedFast() override { speeds.push_back("fast"); }
    void SetSpeedSlow() override { speeds.push_back("slow"); }
};

} // namespace vz::testing
