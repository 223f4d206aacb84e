#include "pack/PackList.h"

void PackList::Reset() {
    items.clear();
    selected = -1;
}

int32_t PackList::Add(const std::string& text) {
    size_t pos = 0;
    while (pos < items.size() && CompareIgnoringCase(items[pos].text, text) <= 0) ++pos;
    items.insert(items.begin() + static_cast<std::ptrdiff_t>(pos), Item{text, 0});
    if (selected >= static_cast<int32_t>(pos)) ++selected;
    return static_cast<int32_t>(pos);
}

bool PackList::SetItemData(int32_t pos, uint32_t data) {
    if (pos < 0 || pos >= Count()) return false;
    items[static_cast<size_t>(pos)].itemData = data;
    return true;
}

uint32_t PackList::GetItemData(int32_t pos) const {
    if (pos < 0 || pos >= Count()) return 0xFFFFFFFFu;
    return items[static_cast<size_t>(pos)].itemData;
}

std::string PackList::GetText(int32_t pos) const {
    if (pos < 0 || pos >= Count()) return std::string();
    return items[static_cast<size_t>(pos)].text;
}

int32_t PackList::FindExact(const std::string& text) const {
    for (int32_t i = 0; i < Count(); ++i)
        if (CompareIgnoringCase(items[static_cast<size_t>(i)].text, text) == 0) return i;
    return -1;
}

int32_t PackList::SelectString(const std::string& text) {
    for (int32_t i = 0; i < Count(); ++i) {
        if (StartsWithIgnoringCase(items[static_cast<size_t>(i)].text, text)) {
            selected = i;
            return i;
        }
    }
    return -1;
}

bool PackList::SetSel(int32_t pos) {
    if (pos < -1 || pos >= Count()) return false;
    selected = pos;
    return true;
}

int32_t PackList::FindItemData(uint32_t data) const {
    for (int32_t i = 0; i < Count(); ++i)
        if (items[static_cast<size_t>(i)].itemData == data) return i;
    return -1;
}
