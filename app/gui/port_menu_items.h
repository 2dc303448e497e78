// The Port menu's items after Com 1 to Com 9: one radio item per serial port
// found when the menu opens (USB adapters above all), in the same group as the
// Com items, so that choosing one unchecks them.
#pragma once

#include "link/port_list.h"

#include <QObject>
#include <QString>

#include <functional>
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

    // Lists the ports again and replaces the items; the checked one stays,
    // found or not, so that the operator's choice never changes by itself.
    void Refresh();
    void SetLister(Lister lister) { lister_ = std::move(lister); }
    // The device path of the checked item, empty when a Com item is checked.
    QString CheckedPath() const;
    const std::vector<QAction*>& Items() const { return items_; }

private:
    QMenu* menu_;
    QActionGroup* group_;
    Lister lister_;
    QAction* separator_ = nullptr;
    std::vector<QAction*> items_;
};

} // namespace vz
