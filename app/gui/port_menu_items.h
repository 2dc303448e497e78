// The Port menu's items after Com 1 to Com 9: one radio item per serial port
// found when the menu opens (USB adapters above all), in the same group as the
// Com items, so that choosing one unchecks them.
#pragma once

#include "link/port_list.h"

#include <QObject>
#include <QString>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

class QAction;
class QActionGroup;
class QMenu;

namespace vz {

class TPortMenuItems : public QObject {
    Q_OBJECT
public:
    using Lister = std::function<std::vector<PortInfo>()>;

    // Items are added to `menu` and `group`; `lister` finds the ports.
    TPortMenuItems(QMenu* menu, QActionGroup* group, Lister lister = &ListPorts);
    ~TPortMenuItems() override;

    // Lists the ports again on a thread of its own, so that a slow file system
    // never freezes the window, and replaces the items when the list arrives
    // (then Refreshed). The checked item stays, found or not, so that the
    // operator's choice never changes by itself. A refresh asked for while one
    // runs is served by that one.
    void Refresh();
    void SetLister(Lister lister) { lister_ = std::move(lister); }
    // The device path of the checked item, empty when a Com item is checked.
    QString CheckedPath() const;
    const std::vector<QAction*>& Items() const { return items_; }

signals:
    void Refreshed();

private:
    struct Delivery;
    // Takes the list a listing thread found; none when the listing failed.
    void Fill(std::optional<std::vector<PortInfo>> found);

    QMenu* menu_;
    QActionGroup* group_;
    Lister lister_;
    QAction* separator_ = nullptr;
    std::vector<QAction*> items_;
    std::shared_ptr<Delivery> delivery_; // shared with the listing thread
    bool listing_ = false;
};

} // namespace vz
