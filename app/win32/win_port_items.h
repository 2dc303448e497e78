// The Port menu's items after Com 9: one radio item per serial port found when
// the menu opens (USB adapters above all, COM10 and beyond). The ports are listed
// on a thread of their own: telling whether a port is in use means opening it,
// which some drivers (Bluetooth ones) make last seconds.
#pragma once

#include "app/face_data/port_items.h"
#include "link/port_list.h"

#include <windows.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace vz::win {

class TWinPortItems {
public:
    using Lister = std::function<std::vector<PortInfo>()>;
    // `message` is posted to the window when a listing is done.
    explicit TWinPortItems(UINT message, Lister lister = &ListPorts);
    ~TWinPortItems();
    TWinPortItems(const TWinPortItems&) = delete;
    TWinPortItems& operator=(const TWinPortItems&) = delete;

    void Attach(HWND window, HMENU menu);
    // The menu opens: a listing starts, and the menu waits for it a moment, so that
    // an adapter just plugged in is there at once; a slower one is there at the next
    // opening. True when the items were replaced.
    bool Opening();
    // The posted message of a finished listing: true when the items were replaced.
    bool Arrived();
    // The path of a found item's command, if the command is one.
    std::optional<std::string> PathOf(int command) const;
    // The item checked (its path; empty: a Com item). It stays listed when its port
    // is no longer found, so that the operator's choice never changes by itself.
    void SetChecked(const std::string& path) { checked_ = path; }
    const std::vector<face::FoundPortItem>& Items() const { return items_; }
    // Radio marks on the whole menu: the found item `checked_`, or else the Com
    // item of command `comCommand`.
    void ShowChecks(int comCommand) const;

private:
    struct Delivery;
    void Start();
    bool Take();
    void Fill(const std::vector<PortInfo>& ports);

    UINT message_;
    Lister lister_;
    HWND window_ = nullptr;
    HMENU menu_ = nullptr;
    std::vector<face::FoundPortItem> items_;
    std::string checked_;
    std::shared_ptr<Delivery> delivery_; // shared with the listing thread
};

} // namespace vz::win
