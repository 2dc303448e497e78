#include "app/core/memory_text.h"

namespace vz {

std::string MemoryName(const TMemory& memory) {
    switch (memory.Kind) {
    case mkBootArea:
        return "the extended boot area";
    case mkKeyboardBank:
        return "keyboard bank " + std::to_string(memory.Index);
    case mkProm:
        break;
    }
    return "Prom " + std::to_string(memory.Index);
}

std::string MemoryKey(const TMemory& memory) {
    switch (memory.Kind) {
    case mkBootArea:
        return "boot";
    case mkKeyboardBank:
        return "bank" + std::to_string(memory.Index);
    case mkProm:
        break;
    }
    return "prom" + std::to_string(memory.Index);
}

std::string ProgrammedText(const std::vector<TMemory>& programmed) {
    // The banks read as one item, where the first of them stood.
    std::vector<std::string> items;
    std::size_t banksAt = 0;
    std::string banks;
    for (const TMemory& memory : programmed) {
        if (memory.Kind != mkKeyboardBank) {
            items.push_back(MemoryName(memory));
            continue;
        }
        if (banks.empty()) {
            banksAt = items.size();
            items.emplace_back();
        }
        banks += (banks.empty() ? "" : ",") + std::to_string(memory.Index);
    }
    if (!banks.empty())
        items[banksAt] =
            (banks.find(',') == std::string::npos ? "keyboard bank " : "keyboard banks ") + banks;
    std::string text;
    for (const std::string& item : items)
        text += (text.empty() ? "" : ", ") + item;
    return text.empty() ? "nothing" : text;
}

std::string SkippedText(const std::vector<TMemory>& skipped) {
    std::string text;
    bool keyboard = false;
    for (const TMemory& memory : skipped) {
        if (memory.Kind == mkKeyboardBank) {
            if (keyboard) continue;
            keyboard = true;
        }
        text += (text.empty() ? "" : ", ") +
                (memory.Kind == mkKeyboardBank ? std::string("the keyboard") : MemoryName(memory));
    }
    return text;
}

} // namespace vz
