#include "pack/FileTypes.h"

#include "pack/FileHandle.h"

#include <cstring>

namespace {

struct TypeRow {
    const char* extension;
    FileCategory category;
};

// Indexed by FileType; row 0 is the "no match" type. Codes from 64 on are
// types the games hold beyond the original 64: MP3 voice lines and Python
// game scripts.
const TypeRow kTypes[kFileTypeCount] = {
    {"", Untyped},     {"AIN", Text},    {"BIN", Other},  {"BMP", Image},  {"CFG", Text},   {"DLG", Text},
    {"DSP", Text},     {"DT", Other},    {"FNT", Other},  {"GAM", Text},   {"GAM~", Text},  {"LIP", Text},
    {"LOC", Text},     {"LST", Text},    {"MDL", Model},  {"OLD", Other},  {"PHY", Model},  {"PK", Other},
    {"PSH", Text},     {"PYC", Other},   {"RAD", Text},   {"RC", Text},    {"RES", Text},   {"SCR", Text},
    {"SFK", Other},    {"TGA", Image},   {"TMP", Other},  {"TTH", Image},  {"TTZ", Image},  {"TXT", Text},
    {"VBSP", Text},    {"VCD", Text},    {"VCS", Other},  {"VFE", Other},  {"VMT", Text},   {"VTX", Model},
    {"WAV", Sound},    {"WC", Other},    {"XLS", Other},  {"NAM", Text},   {"BAT", Text},   {"CLASS", Other},
    {"NIL", Other},    {"NAD", Other},   {"NOD", Model},  {"NMS", Text},   {"NCO", Text},   {"NPC", Text},
    {"NAI", Text},     {"EXE", Other},   {"DLL", Other},  {"NED", Text},   {"NCD", Text},   {"NEX", Text},
    {"NAG", Text},     {"NOT", Other},   {"NCP", Other},  {"NQD", Text},   {"NSD", Other},  {"NBS", Text},
    {"NDD", Text},     {"NDG", Text},    {"NPD", Text},   {"NTT", Text},   {"MP3", Sound},  {"PY", Text},
};

}  // namespace

const uint16_t kTreeBitmapIds[14] = {150, 151, 145, 147, 148, 149, 144, 146, 152, 153, 159, 160, 161, 162};

FileType ClassifyExtension(const char* extension) {
    if (extension == nullptr) return 0;
    char upper[32];
    size_t n = 0;
    for (; extension[n] != '\0'; ++n) {
        if (n + 1 >= sizeof upper) return 0;
        char c = extension[n];
        upper[n] = (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
    }
    upper[n] = '\0';
    if (upper[0] < 'A' || upper[0] > 'X') return 0;
    for (FileType t = 1; t < kFileTypeCount; ++t)
        if (std::strcmp(upper, kTypes[t].extension) == 0) return t;
    return 0;
}

FileType ClassifyName(const char* name) {
    uint32_t dot = ExtensionOffset(name);
    return dot == 0 ? 0 : ClassifyExtension(name + dot + 1);
}

FileCategory CategoryOf(FileType type) { return type < kFileTypeCount ? kTypes[type].category : Untyped; }

const char* CategoryName(FileCategory category) {
    static const char* const names[] = {"Other", "Text", "Image", "Model", "Folder", "Untyped", "Sound"};
    return category <= Sound ? names[category] : "Untyped";
}

TreeIcons IconsOf(FileCategory category) {
    static const TreeIcons icons[] = {{10, 11}, {2, 3}, {4, 5}, {10, 11}, {6, 7}, {0, 1}, {12, 13}};
    return category <= Sound ? icons[category] : icons[Untyped];
}
