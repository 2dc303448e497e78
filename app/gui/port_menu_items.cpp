#include "app/gui/port_menu_items.h"

#include "app/gui/display_text.h"

#include <QAction>
#include <QActionGroup>
#include <QMenu>

namespace vz {

namespace {

// COM1 to COM9 are the Com items themselves.
bool CoveredByComItem(const std::string& name) {
    return name.size() == 4 && (name.starts_with("COM") || name.starts_with("com")) && name[3] >= '1' &&
           name[3] <= '9';
}

// A product name's "&" is shown, not taken for a shortcut mark.
QString Caption(const PortInfo& port) {
    return DisplayText(PortCaption(port)).replace(QLatin1Char('&'), QStringLiteral("&&"));
}

} // namespace

TPortMenuItems::TPortMenuItems(QMenu* menu, QActionGroup* group, Lister lister)
    : QObject(menu), menu_(menu), group_(group), lister_(std::move(lister)) {
    connect(menu_, &QMenu::aboutToShow, this, &TPortMenuItems::Refresh);
}

void TPortMenuItems::Refresh() {
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

    std::vector<PortInfo> ports = lister_();
    std::erase_if(ports, [](const PortInfo& port) { return CoveredByComItem(port.name); });
    if (separator_ == nullptr && (kept != nullptr || !ports.empty())) separator_ = menu_->addSeparator();
    for (const PortInfo& port : ports) {
        // The by-id link when there is one: it names the same adapter after a replug.
        const QString path = QString::fromStdString(port.stableName.empty() ? port.name : port.stableName);
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
}

QString TPortMenuItems::CheckedPath() const {
    for (const QAction* item : items_)
        if (item->isChecked()) return item->data().toString();
    return {};
}

} // namespace vz
