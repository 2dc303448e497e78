#include "app/gui/port_menu_items.h"

#include "app/face_data/port_items.h"
#include "app/gui/display_text.h"

#include <QAction>
#include <QActionGroup>
#include <QMenu>
#include <QMetaObject>

#include <mutex>
#include <thread>

namespace vz {

// Where a listing thread hands its list: cleared when the items go, so that a
// thread that outlives them delivers nothing.
struct TPortMenuItems::Delivery {
    std::mutex mutex;
    TPortMenuItems* items = nullptr;
};

namespace {

// A product name's "&" is shown, not taken for a shortcut mark.
QString Caption(const face::FoundPortItem& item) {
    return DisplayText(item.caption).replace(QLatin1Char('&'), QStringLiteral("&&"));
}

} // namespace

TPortMenuItems::TPortMenuItems(QMenu* menu, QActionGroup* group, Lister lister)
    : QObject(menu), menu_(menu), group_(group), lister_(std::move(lister)),
      delivery_(std::make_shared<Delivery>()) {
    delivery_->items = this;
    connect(menu_, &QMenu::aboutToShow, this, &TPortMenuItems::Refresh);
}

TPortMenuItems::~TPortMenuItems() {
    const std::lock_guard<std::mutex> lock(delivery_->mutex);
    delivery_->items = nullptr;
}

void TPortMenuItems::Refresh() {
    if (listing_) return;
    listing_ = true;
    std::thread([delivery = delivery_, lister = lister_] {
        std::optional<std::vector<PortInfo>> found;
        try {
            found = lister();
        } catch (...) {
            // A directory that vanished mid-listing: the items stay as they were.
        }
        const std::lock_guard<std::mutex> lock(delivery->mutex);
        if (delivery->items == nullptr) return;
        // Queued to the window's thread; dropped by Qt if the items go first.
        QMetaObject::invokeMethod(
            delivery->items,
            [items = delivery->items, found = std::move(found)]() mutable { items->Fill(std::move(found)); },
            Qt::QueuedConnection);
    }).detach();
}

void TPortMenuItems::Fill(std::optional<std::vector<PortInfo>> found) {
    listing_ = false;
    if (!found) {
        emit Refreshed();
        return;
    }
    QAction* kept = nullptr;
    for (QAction* item : items_) {
        if (item->isChecked()) {
            kept = item;
            continue;
        }
        group_->removeAction(item);
        menu_->removeAction(item);
        delete item;
    }
    items_.clear();
    if (kept != nullptr) menu_->removeAction(kept);

    const std::vector<face::FoundPortItem> ports = face::FoundPortItems(*found);
    if (separator_ == nullptr && (kept != nullptr || !ports.empty())) separator_ = menu_->addSeparator();
    for (const face::FoundPortItem& port : ports) {
        const QString path = QString::fromStdString(port.path);
        if (kept != nullptr && kept->data().toString() == path) {
            kept->setText(Caption(port));
            menu_->addAction(kept);
            items_.push_back(kept);
            kept = nullptr;
            continue;
        }
        auto* item = new QAction(Caption(port), group_);
        item->setObjectName(QStringLiteral("PortItem"));
        item->setCheckable(true);
        item->setData(path);
        menu_->addAction(item);
        items_.push_back(item);
    }
    if (kept != nullptr) {
        // Unplugged since it was chosen: still the choice, listed last.
        menu_->addAction(kept);
        items_.push_back(kept);
    }
    emit Refreshed();
}

QString TPortMenuItems::CheckedPath() const {
    for (const QAction* item : items_)
        if (item->isChecked()) return item->data().toString();
    return {};
}

} // namespace vz
