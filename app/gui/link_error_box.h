// The link thread's error box ("Error while opening "). The link thread waits
// until the operator has answered it, but the window stays usable meanwhile:
// the box comes back after every OK while the run lasts, so STOP must remain
// within reach.
#pragma once

#include <QObject>
#include <QPointer>

#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>

class QMessageBox;
class QWidget;

namespace vz {

class TLinkErrorBox : public QObject {
    Q_OBJECT
public:
    explicit TLinkErrorBox(QWidget* window);

    // On the link thread: has the box shown on the window's thread and returns
    // once it is answered or Release has been called. `text` is the box's text
    // ("Error while opening " and more); `detail`, when given, is shown below it
    // (why the port was refused and what helps).
    void Ask(const std::string& text, const std::string& detail = {});
    // Called on the window's thread as each box is shown, with its texts.
    std::function<void(const std::string& text, const std::string& detail)> OnShown;
    // On the window's thread, when it closes: answers every question now and later.
    void Release();

    // The box on screen, if any.
    QMessageBox* Box() const;
    // Boxes shown so far.
    int ShownCount() const { return shown_; }

private:
    void Show();
    void Answered();

    QWidget* window_;
    QPointer<QMessageBox> box_;
    int shown_ = 0;
    std::mutex lock_;
    std::condition_variable answered_;
    bool waiting_ = false;  // guarded by lock_
    bool released_ = false; // guarded by lock_
    std::string text_;      // guarded by lock_
    std::string detail_;    // guarded by lock_
};

} // namespace vz
