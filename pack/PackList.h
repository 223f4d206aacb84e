// The list of the data folder's packs of the open game. Each entry is a
// pack's bare file name with its pack number (the order in which the folder
// scan found it); the list keeps itself sorted by name ignoring ASCII case,
// as the GUI's sorted combo box does, and the GUI mirrors it.
#pragma once

#include "pack/Ascii.h"

#include <cstdint>
#include <string>
#include <vector>

class PackList {
public:
    struct Item {
        std::string text;
        uint32_t itemData = 0;
    };

    void Reset();
    // Inserts text in sorted place (after names equal to it) and gives that
    // position; the selection follows its entry.
    int32_t Add(const std::string& text);
    bool SetItemData(int32_t pos, uint32_t data);
    uint32_t GetItemData(int32_t pos) const;
    int32_t Count() const { return static_cast<int32_t>(items.size()); }
    // Empty for a position outside the list.
    std::string GetText(int32_t pos) const;
    // Position of the entry equal to text ignoring case, or -1.
    int32_t FindExact(const std::string& text) const;
    // Selects the first entry that begins with text ignoring case; gives its
    // position, or -1 (the selection is then unchanged).
    int32_t SelectString(const std::string& text);
    int32_t GetSel() const { return selected; }
    bool SetSel(int32_t pos);
    // Position of the entry with that pack number, or -1.
    int32_t FindItemData(uint32_t data) const;

    const std::vector<Item>& Items() const { return items; }

private:
    std::vector<Item> items;
    int32_t selected = -1;
};

