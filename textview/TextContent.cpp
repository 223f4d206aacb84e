#include "textview/TextContent.h"

bool TextContent::SetItem(uint32_t index, const std::string& name) {
    if (index >= kMaxEntries) return false;
    if (index >= entryCount) entryCount = index + 1;
    CheckListEntry& e = entries[index];
    e.hasName = true;
    e.name = name.substr(0, 259);
    e.checked = 1;
    ++revision;
    return true;
}

bool ShowFileAsText(const GameFiles& files, TextContent& view, FileEntry& key) {
    uint32_t size = 0;
    std::unique_ptr<uint8_t[]> bytes = ReadGameFile(files, key, size);
    if (!bytes) return false;
    view.SetText(std::string(reinterpret_cast<const char*>(bytes.get()), size));
    return true;
}
