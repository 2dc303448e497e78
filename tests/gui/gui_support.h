// Helpers for driving the window through the toolkit's event loop.
#pragma once

#include "app/gui/main_fich.h"
#include "tests/app/recording_face.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

namespace vz::testing {

// Runs the event loop until `done` holds or the time is up; returns `done()`.
inline bool WaitFor(const std::function<bool()>& done, int timeoutMs = 10000) {
    QDeadlineTimer deadline(timeoutMs);
    while (!done()) {
        if (deadline.hasExpired()) return false;
        QApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return true;
}

// Runs the event loop for a while, for checks that something does not happen.
inline void Spin(int ms) {
    QDeadlineTimer deadline(ms);
    while (!deadline.hasExpired())
        QApplication::processEvents(QEventLoop::AllEvents, 10);
}

// Answers each modal window as it comes up: `handle` looks at it and closes it
// (if it does not, the window is closed for it, so a failing test cannot hang).
class ModalAnswerer {
public:
    explicit ModalAnswerer(std::function<void(QWidget*)> handle) : handle_(std::move(handle)) {
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            QPointer<QWidget> modal = QApplication::activeModalWidget();
            if (modal == nullptr || !modal->isVisible()) return;
            ++count_;
            handle_(modal);
            if (modal && modal->isVisible()) modal->close();
        });
        timer_.start(20);
    }
    int Count() const { return count_; }

private:
    std::function<void(QWidget*)> handle_;
    QTimer timer_;
    int count_ = 0;
};

// The scripted device of the core's tests behind the window: every reply, and
// the boot loader's call, reaches the window the way the link thread's chunks do.
class WindowLink : public ScriptedLink {
public:
    TMainFich* window = nullptr;
    // Where the link leaves its running flag when it goes.
    bool* runningAtEnd = nullptr;

    WindowLink() {
        QObject::connect(&ticker_, &QTimer::timeout, [this] {
            Tick();
            Notify();
        });
        ticker_.start(5);
    }
    ~WindowLink() override {
        if (runningAtEnd != nullptr) *runningAtEnd = running;
    }
    void PostTx(const std::string& text) override {
        ScriptedLink::PostTx(text);
        Notify();
    }

private:
    void Notify() {
        if (window == nullptr || pendingRx.empty()) return;
        QMetaObject::invokeMethod(
            window, [target = window] { target->DataReceived(); }, Qt::QueuedConnection);
    }
    QTimer ticker_;
};

// A directory of its own for one test (and process: tests may run side by side),
// made the current directory when asked.
class TempDir {
public:
    explicit TempDir(const std::string& name)
        : path_(std::filesystem::temp_directory_path() /
                ("vz_gui_" + name + "_" + std::to_string(QCoreApplication::applicationPid()))),
          previous_(QDir::currentPath()) {
        std::filesystem::remove_all(path_);
        std::filesystem::create_directories(path_);
    }
    ~TempDir() {
        QDir::setCurrent(previous_);
        std::filesystem::remove_all(path_);
    }
    const std::filesystem::path& Path() const { return path_; }
    void Write(const std::string& relative, const std::string& content) const {
        const auto file = path_ / relative;
        std::filesystem::create_directories(file.parent_path());
        std::ofstream(file, std::ios::binary) << content;
    }
    void MakeCurrent() const { QDir::setCurrent(QString::fromStdString(path_.string())); }

private:
    std::filesystem::path path_;
    QString previous_;
};

} // namespace vz::testing
