#include "app/gui/link_error_box.h"

#include "app/face_data/window_description.h"

#include <QMessageBox>

namespace vz {

TLinkErrorBox::TLinkErrorBox(QWidget* window) : QObject(window), window_(window) {}

QMessageBox* TLinkErrorBox::Box() const {
    return box_;
}

void TLinkErrorBox::Ask(const std::string& text, const std::string& detail) {
    {
        std::lock_guard lock(lock_);
        if (released_) return;
        waiting_ = true;
        text_ = text;
        detail_ = detail;
    }
    QMetaObject::invokeMethod(
        this, [this] { Show(); }, Qt::QueuedConnection);
    std::unique_lock lock(lock_);
    answered_.wait(lock, [this] { return !waiting_ || released_; });
}

void TLinkErrorBox::Release() {
    {
        std::lock_guard lock(lock_);
        released_ = true;
    }
    answered_.notify_all();
    if (box_) box_->close();
}

void TLinkErrorBox::Show() {
    std::string text;
    std::string detail;
    {
        std::lock_guard lock(lock_);
        if (released_ || !waiting_) return;
        text = text_;
        detail = detail_;
    }
    if (OnShown) OnShown(text, detail);
    auto* box = new QMessageBox(QMessageBox::Critical, QString::fromLatin1(face::kErrorBoxTitle),
                                QString::fromLocal8Bit(text), QMessageBox::Ok, window_);
    if (!detail.empty()) box->setInformativeText(QString::fromLocal8Bit(detail));
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowModality(Qt::NonModal);
    connect(box, &QMessageBox::finished, this, &TLinkErrorBox::Answered);
    box_ = box;
    ++shown_;
    box->show();
}

void TLinkErrorBox::Answered() {
    {
        std::lock_guard lock(lock_);
        waiting_ = false;
    }
    answered_.notify_all();
}

} // namespace vz
