// What the text pane shows: a file's bytes as text and, for models, a check
// list of meshes. The GUI's rich edit and check boxes mirror this record; the
// CLI prints it.
#pragma once

#include "pack/FileIndex.h"
#include "pack/GameFiles.h"

#include <cstdint>
#include <string>

struct CheckListEntry {
    bool hasName = false;
    std::string name;  // at most 259 characters
    uint32_t checked = 0;
};

struct TextContent {
    static const uint32_t kMaxEntries = 256;

    // The bytes shown, unchanged: no line-end conversion, no size limit.
    std::string text;
    // The first leadSize bytes of text are Quillon's own lines put before a
    // file's (what a texture is, which texture a material misses); the CLI
    // prints them apart from the file's text.
    size_t leadSize = 0;
    // 0: text only; 1: the check list beside the text.
    uint32_t mode = 0;
    CheckListEntry entries[kMaxEntries];
    // One more than the highest entry index set.
    uint32_t entryCount = 0;
    // Bumped on every change, so a front end can tell when to refresh.
    uint32_t revision = 0;

    void SetText(std::string bytes) {
        text = std::move(bytes);
        leadSize = 0;
        ++revision;
    }
    void SetText(const std::string& lead, const std::string& bytes) {
        text = lead + bytes;
        leadSize = lead.size();
        ++revision;
    }
    // The text after the lead: the file's own.
    std::string Body() const { return text.substr(leadSize); }
    void SetMode(uint32_t m) {
        mode = m;
        ++revision;
    }
    // Names entry index (below kMaxEntries) and checks it.
    bool SetItem(uint32_t index, const std::string& name);
};

// Shows a game file's bytes as text; false, with the text unchanged, when the
// file cannot be opened or read (an empty file counts as unreadable, as for
// every reader).
bool ShowFileAsText(const GameFiles& files, TextContent& view, FileEntry& key);
