#include "textview/TextContent.h"

#include "pack/GameFiles.h"

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

bool ShowFileAsText(AppState& app, FileEntry& key) {
    FileHandle file;
    uint32_t size = OpenGameFile(app, file, key, 1);
    if (size == 0) return false;
    std::unique_ptr<uint8_t[]> bytes = file.ReadAll(size);
    if (!bytes) return false;
    app.textView.SetText(std::string(reinterpret_cast<const char*>(bytes.get()), size));
    return true;
}
