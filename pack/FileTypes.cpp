#include "pack/FileTypes.h"

#include "pack/Ascii.h"
#include "pack/FileHandle.h"

#include <cstring>

namespace {

struct TypeRow {
    const char* extension;
    FileCategory category;
};

// Short names for the table below.
constexpr FileCategory Other = FileCategory::Other, Text = FileCategory::Text, Image = FileCategory::Image,
                       Model = FileCategory::Model, Untyped = FileCategory::Untyped, Sound = FileCategory::Sound;

// Indexed by FileType; row 0 is the "no match" type. Codes from 64 on are
// types the games hold beyond the original 64: MP3 voice lines, Python game
// scripts and maps (shown as their directory and entities, exported raw).
constexpr TypeRow kTypes[kFileTypeCount] = {
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
    {"BSP", Other},
};

constexpr bool Same(const char* a, const char* b) {
    while (*a != '\0' && *a == *b) ++a, ++b;
    return *a == *b;
}
static_assert(Same(kTypes[kFileTypeBmp].extension, "BMP") && Same(kTypes[kFileTypeMdl].extension, "MDL") &&
                  Same(kTypes[kFileTypeTga].extension, "TGA") && Same(kTypes[kFileTypeTth].extension, "TTH") &&
                  Same(kTypes[kFileTypeTtz].extension, "TTZ") && Same(kTypes[kFileTypeVmt].extension, "VMT") &&
                  Same(kTypes[kFileTypeVtx].extension, "VTX") && Same(kTypes[kFileTypeNam].extension, "NAM") &&
                  Same(kTypes[kFileTypeNod].extension, "NOD") && Same(kTypes[kFileTypeNms].extension, "NMS") &&
                  Same(kTypes[kFileTypeMp3].extension, "MP3") && Same(kTypes[kFileTypePy].extension, "PY") &&
                  Same(kTypes[kFileTypeBsp].extension, "BSP"),
              "the named file types are their extensions' rows");

}  // namespace

const uint16_t kTreeBitmapIds[14] = {150, 151, 145, 147, 148, 149, 144, 146, 152, 153, 159, 160, 161, 162};

FileType ClassifyExtension(const char* extension) {
    if (extension == nullptr) return 0;
    char upper[32];
    size_t n = 0;
    for (; extension[n] != '\0'; ++n) {
        if (n + 1 >= sizeof upper) return 0;
        upper[n] = AsciiUpper(extension[n]);
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

FileCategory CategoryOf(FileType type) { return type < kFileTypeCount ? kTypes[type].category : FileCategory::Untyped; }

const char* CategoryName(FileCategory category) {
    static const char* const names[] = {"Other", "Text", "Image", "Model", "Folder", "Untyped", "Sound"};
    uint32_t c = static_cast<uint32_t>(category);
    return c < kFileCategoryCount ? names[c] : "Untyped";
}

TreeIcons IconsOf(FileCategory category) {
    static const TreeIcons icons[] = {{10, 11}, {2, 3}, {4, 5}, {10, 11}, {6, 7}, {0, 1}, {12, 13}};
    uint32_t c = static_cast<uint32_t>(category);
    return c < kFileCategoryCount ? icons[c] : icons[static_cast<uint32_t>(FileCategory::Untyped)];
}
