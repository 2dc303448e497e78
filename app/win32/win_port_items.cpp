#include "app/win32/win_port_items.h"

#include "app/win32/menu_commands.h"
#include "app/win32/win_text.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace vz::win {

namespace {

// How long an opening menu waits for the ports: short enough not to be felt.
constexpr std::chrono::milliseconds kOpeningWait{400};

// A product name's "&" is shown, not taken for a shortcut mark.
std::wstring MenuCaption(const std::string& caption) {
    std::wstring text;
    for (wchar_t c : WideText(caption)) {
        if (c == L'&') text += L'&';
        text += c;
    }
    return text;
}

} // namespace

// Where a listing thread hands its list; the window is forgotten when the items
// go, so that a thread that outlives them posts nothing.
struct TWinPortItems::Delivery {
    std::mutex mutex;
    std::condition_variable done;
    HWND window = nullptr;
    bool listing = false;
    std::optional<std::vector<PortInfo>> found;
};

TWinPortItems::TWinPortItems(UINT message, Lister lister)
    : message_(message), lister_(std::move(lister)), delivery_(std::make_shared<Delivery>()) {}

TWinPortItems::~TWinPortItems() {
    const std::lock_guard lock(delivery_->mutex);
    delivery_->window = nullptr;
}

void TWinPortItems::Attach(HWND window, HMENU menu) {
    window_ = window;
    menu_ = menu;
    const std::lock_guard lock(delivery_->mutex);
    delivery_->window = window;
}

void TWinPortItems::Start() {
    {
        const std::lock_guard lock(delivery_->mutex);
        if (delivery_->listing) return;
        delivery_->listing = true;
    }
    std::thread([delivery = delivery_, lister = lister_, message = message_] {
        std::optional<std::vector<PortInfo>> found;
        try {
            found = lister();
        } catch (...) {
            // The items stay as they were.
        }
        const std::lock_guard lock(delivery->mutex);
        delivery->listing = false;
        delivery->found = std::move(found);
        delivery->done.notify_all();
        if (delivery->window != nullptr) PostMessageW(delivery->window, message, 0, 0);
    }).detach();
}

bool TWinPortItems::Opening() {
    Start();
    {
        std::unique_lock lock(delivery_->mutex);
        delivery_->done.wait_for(lock, kOpeningWait, [this] { return !delivery_->listing; });
    }
    return Take();
}

bool TWinPortItems::Arrived() {
    return Take();
}

bool TWinPortItems::Take() {
    std::optional<std::vector<PortInfo>> found;
    {
        const std::lock_guard lock(delivery_->mutex);
        found.swap(delivery_->found);
    }
    if (!found) return false;
    Fill(*found);
    return true;
}

void TWinPortItems::Fill(const std::vector<PortInfo>& ports) {
    std::vector<face::FoundPortItem> items = face::FoundPortItems(ports);
    if (items.size() > static_cast<std::size_t>(kMaxFoundPorts)) items.resize(kMaxFoundPorts);
    if (!checked_.empty() && std::none_of(items.begin(), items.end(),
                                          [this](const auto& item) { return item.path == checked_; })) {
        // Unplugged since it was chosen: still the choice, listed last.
        const auto old = std::find_if(items_.begin(), items_.end(),
                                      [this](const auto& item) { return item.path == checked_; });
        if (items.size() == static_cast<std::size_t>(kMaxFoundPorts)) items.pop_back();
        items.push_back(old != items_.end() ? *old : face::FoundPortItem{checked_, checked_});
    }
    items_ = std::move(items);
    if (menu_ == nullptr) return;
    const int comItems = static_cast<int>(face::MenuAt(face::kPortMenu).items.size());
    while (GetMenuItemCount(menu_) > comItems)
        DeleteMenu(menu_, static_cast<UINT>(comItems), MF_BYPOSITION);
    if (!items_.empty()) AppendMenuW(menu_, MF_SEPARATOR, 0, nullptr);
    for (std::size_t i = 0; i < items_.size(); ++i)
        AppendMenuW(menu_, MF_STRING, static_cast<UINT_PTR>(kFirstFoundPortCommand + static_cast<int>(i)),
                    MenuCaption(items_[i].caption).c_str());
}

std::optional<std::string> TWinPortItems::PathOf(int command) const {
    const int index = command - kFirstFoundPortCommand;
    if (index < 0 || index >= static_cast<int>(items_.size())) return std::nullopt;
    return items_[static_cast<std::size_t>(index)].path;
}

void TWinPortItems::ShowChecks(int comCommand) const {
    if (menu_ == nullptr) return;
    const int count = GetMenuItemCount(menu_);
    for (int position = 0; position < count; ++position) {
        const UINT id = GetMenuItemID(menu_, position);
        if (id == 0 || id == static_cast<UINT>(-1)) continue; // the separator
        const auto path = PathOf(static_cast<int>(id));
        const bool checked =
            checked_.empty() ? static_cast<int>(id) == comCommand : path && *path == checked_;
        MENUITEMINFOW info{};
        info.cbSize = sizeof info;
        info.fMask = MIIM_FTYPE | MIIM_STATE;
        info.fType = MFT_STRING | MFT_RADIOCHECK;
        info.fState = checked ? MFS_CHECKED : MFS_UNCHECKED;
        SetMenuItemInfoW(menu_, static_cast<UINT>(position), TRUE, &info);
    }
}

} // namespace vz::win
