#include "texture/LoadImage.h"

#include "pack/Ascii.h"
#include "pack/FileTypes.h"
#include "texture/ImageFiles.h"
#include "texture/TextureFile.h"

#include <cstring>
#include <memory>

const char* const kMaterialFolders[6] = {
    "3d\\materials\\",      "materials\\prague\\", "materials\\general\\",
    "materials\\london\\",  "materials\\new_york\\", "materials\\vienna\\",
};

namespace {

// Writes text into key's path; false (key unchanged) when it does not fit.
bool SetPath(FileEntry& key, const std::string& path) {
    if (path.size() >= sizeof key.name) return false;
    std::memset(key.name, 0, sizeof key.name);
    std::memcpy(key.name, path.data(), path.size());
    return true;
}

// Replaces what follows the last '.' of key's path (appends ".ext" without one).
bool SetExtension(FileEntry& key, const char* ext) {
    std::string path = key.name;
    size_t dot = path.find_last_of('.');
    size_t sep = path.find_last_of("/\\");
    if (dot == std::string::npos || (sep != std::string::npos && dot < sep))
        path += '.';
    else
        path.resize(dot + 1);
    return SetPath(key, path + ext);
}

// The companion text: the file's bytes, or nothing when it cannot be read.
void ShowText(const GameFiles& files, FileEntry& key, std::string* text) {
    if (text == nullptr) return;
    uint32_t size = 0;
    std::unique_ptr<uint8_t[]> bytes = ReadGameFile(files, key, size);
    if (bytes)
        text->assign(reinterpret_cast<const char*>(bytes.get()), size);
    else
        text->clear();
}

// The quoted value that follows a key: from `from` on, the text between the
// next two double quotes. Empty when either is missing.
std::string QuotedValue(const std::string& line, size_t from) {
    size_t open = line.find('"', from);
    if (open == std::string::npos) return std::string();
    size_t close = line.find('"', open + 1);
    if (close == std::string::npos) return std::string();
    return line.substr(open + 1, close - open - 1);
}

// The texture path a material names. Real materials sometimes start the
// name with a separator ("/models/..."); the game reads it below
// "materials" all the same, and so must the packed-file lookup.
std::string TexturePath(std::string value) {
    size_t start = value.find_first_not_of("/\\");
    return "materials\\" + (start == std::string::npos ? std::string() : value.substr(start)) + ".tth";
}

// A texture a material names, loaded into image with what it says of itself.
struct NamedTexture {
    bool loaded = false;
    Reason why = Reason::None;
    TextureFacts facts;
    std::string key, value;
};

// Loads the texture a material line names: key (upper case, with its closing
// quote) found at `at`; the value is the quoted text after it.
bool LoadNamedTexture(const GameFiles& files, const MessageSeam& message, FileEntry& key, const std::string& line,
                      const std::string& asWritten, size_t at, const char* name, Image32& image, NamedTexture& t) {
    // The value's quotes are looked for right after the key's closing
    // quote, so a value written with no blank before it is found too.
    size_t from = at + std::strlen(name) + 1;
    std::string value = QuotedValue(line, from);
    if (value.empty() || !SetPath(key, TexturePath(value))) return false;
    t = NamedTexture{};
    t.key = AsciiLowered(name);
    t.value = QuotedValue(asWritten, from);
    image.Release();
    t.loaded = LoadTexture(files, message, key, image, &t.why, &t.facts);
    return true;
}

void Note(PictureNotes* notes, const NamedTexture& t) {
    if (notes == nullptr) return;
    notes->hasTexture = t.loaded;
    notes->texture = t.facts;
    notes->why = t.why;
    notes->key = t.key;
    notes->value = t.value;
}

LoadResult LoadVmt(const GameFiles& files, const MessageSeam& message, FileEntry& key, Image32& image,
                   std::string* text, PictureNotes* notes) {
    LoadResult result;
    ShowText(files, key, text);
    uint32_t size = 0;
    Reason why = Reason::None;
    std::unique_ptr<uint8_t[]> bytes = ReadGameFile(files, key, size, &why);
    if (!bytes) {
        if (notes != nullptr) notes->why = why;
        return result;
    }
    LineList list;
    list.Read(bytes.get(), size);
    bytes.reset();

    Image32 iris = Image32{};
    NamedTexture base, eye;
    bool named = false;
    for (size_t i = 0; i < list.lines.size(); ++i) {
        const std::string& line = list.lines[i];
        size_t at;
        if (line.find("$TRANSLUCENT") != std::string::npos) {
            if (line.find('1') != std::string::npos) result.translucent = 1;
        } else if (line.find("$NOCULL") != std::string::npos) {
            if (line.find('1') != std::string::npos) result.twoSided = 1;
        } else if (line.find("$ALPHATEST") != std::string::npos) {
            if (line.find('1') != std::string::npos) result.alphaTest = 1;
        } else if ((at = line.find("$BASETEXTURE\"")) != std::string::npos) {
            if (!LoadNamedTexture(files, message, key, line, list.asWritten[i], at, "$BASETEXTURE", image, base))
                continue;
            named = true;
            result.loaded = base.loaded ? 1 : 0;
        } else if ((at = line.find("$IRIS\"")) != std::string::npos) {
            // The closing quote is required: "$irisframe" and the like are
            // other keys, and loading them would spoil the result.
            if (!LoadNamedTexture(files, message, key, line, list.asWritten[i], at, "$IRIS", iris, eye)) continue;
            named = true;
            result.loaded = eye.loaded ? 1 : 0;
        }
    }
    // The picture is the base texture, unless the iris replaces it below.
    Note(notes, base.key.empty() || (!base.loaded && eye.loaded) ? eye : base);
    if (notes != nullptr && !named) notes->why = Reason::MaterialNamesNoTexture;
    if (result.loaded && eye.loaded) {
        if (image.pixels != nullptr && image.width == iris.width && image.height == iris.height) {
            uint64_t n = uint64_t(image.width) * image.height;
            for (uint64_t i = 0; i < n; ++i) {
                uint8_t* out = image.pixels + i * 4;
                const uint8_t* in = iris.pixels + i * 4;
                uint32_t a = in[3];
                for (int c = 0; c < 3; ++c) out[c] = static_cast<uint8_t>((in[c] * a + out[c] * (255 - a)) >> 8);
            }
        } else {
            Note(notes, eye);
            image.Release();
            if (image.Create(iris.width, iris.height))
                std::memcpy(image.pixels, iris.pixels, uint64_t(iris.width) * iris.height * 4);
            else
                result.loaded = 0;
        }
    }
    iris.Release();
    return result;
}

LoadResult LoadNam(const GameFiles& files, const MessageSeam& message, FileEntry& key, Image32& image,
                   std::string* text, PictureNotes* notes) {
    LoadResult result;
    ShowText(files, key, text);
    NamMaterial nam = ReadNamMaterial(files, key);
    result.translucent = nam.translucent;
    result.alphaTest = nam.alphaTest;
    result.twoSided = nam.twoSided;
    if (!nam.named) {
        // No texture line: the Targa of the same name beside the material.
        if (SetExtension(key, "tga")) result = LoadImage(files, message, key, image, nullptr, notes);
        result.translucent = nam.translucent;
        result.alphaTest = nam.alphaTest;
        result.twoSided = nam.twoSided;
        return result;
    }
    size_t dot = nam.texture.find_last_of('.');
    if (dot != std::string::npos && nam.texture.substr(dot) == ".NAM") {
        if (notes != nullptr) *notes = PictureNotes{false, {}, Reason::MaterialNamesMaterial, "texture", nam.texture};
        return result;  // never a material
    }
    // Not in any folder, unless one holds a file that cannot be read.
    PictureNotes found{false, {}, Reason::TextureNotInGame, "texture", nam.texture};
    for (const char* folder : kMaterialFolders) {
        FileEntry inner = key;
        if (!SetPath(inner, folder + nam.texture)) continue;
        image.Release();
        PictureNotes tried;
        if (LoadImage(files, message, inner, image, nullptr, &tried).loaded) {
            result.loaded = 1;
            found = tried;
            break;
        }
        if (tried.why != Reason::NotFound && found.why == Reason::TextureNotInGame) found.why = tried.why;
    }
    if (notes != nullptr) *notes = found;
    return result;
}

}  // namespace

void LineList::Read(const uint8_t* bytes, size_t size) {
    lines.clear();
    asWritten.clear();
    size_t start = 0;
    while (start < size) {
        size_t end = start;
        while (end < size && bytes[end] != '\n') ++end;
        std::string line(reinterpret_cast<const char*>(bytes) + start, end - start);
        // Real materials use bare LF as often as CR LF: only a CR is a line end.
        if (!line.empty() && line.back() == '\r') line.pop_back();
        size_t cut = std::min(line.find("//"), line.find("\\\\"));
        if (cut != std::string::npos) line.resize(cut);
        size_t zero = line.find('\0');
        if (zero != std::string::npos) line.resize(zero);
        asWritten.push_back(line);
        lines.push_back(AsciiUppered(std::move(line)));
        start = end + 1;
    }
}

NamMaterial ReadNamMaterial(const GameFiles& files, FileEntry& key) {
    NamMaterial nam;
    uint32_t size = 0;
    std::unique_ptr<uint8_t[]> bytes = ReadGameFile(files, key, size);
    if (!bytes) return nam;
    LineList list;
    list.Read(bytes.get(), size);
    for (const std::string& line : list.lines) {
        size_t at;
        size_t from = std::string::npos;
        if (line.find("MASKED") != std::string::npos || line.find("ADDBLEND") != std::string::npos) {
            nam.translucent = 1;
            if (line.find("MASKED") != std::string::npos) nam.alphaTest = 1;
        } else if (line.find("TWOSIDED") != std::string::npos) {
            nam.twoSided = 1;
        } else if ((at = line.find("TEXTURE ")) != std::string::npos) {
            from = at + 8;
        } else if ((at = line.find("PASS 0 ")) != std::string::npos) {
            from = at + 7;
        }
        if (from == std::string::npos) continue;
        size_t end = line.find(' ', from);
        std::string name = line.substr(from, end == std::string::npos ? std::string::npos : end - from);
        if (name.size() >= 260) continue;  // no texture name is that long
        nam.texture = name;
        nam.named = true;
    }
    return nam;
}

std::string PictureNotes::Line() const {
    std::string words = ReasonWords(why);
    return key.empty() ? words : key + " " + value + ": " + words;
}

LoadResult LoadImage(const GameFiles& files, const MessageSeam& message, FileEntry& key, Image32& image,
                     std::string* text, PictureNotes* notes) {
    LoadResult result;
    PictureNotes ignored;
    PictureNotes& note = notes != nullptr ? *notes : ignored;
    note = PictureNotes{};
    FileType type = ClassifyName(key.name);
    if (type == kFileTypeBmp || type == kFileTypeTga) {
        std::unique_ptr<uint8_t[]> bytes;
        uint32_t size;
        if ((bytes = ReadGameFile(files, key, size, &note.why)) != nullptr) {
            bool read = type == kFileTypeBmp ? ReadBmpBytes(image, bytes.get(), size)
                                             : ReadTgaBytes(image, bytes.get(), size, &note.why);
            result.loaded = read ? 1 : 0;
            if (!read && type == kFileTypeBmp) note.why = Reason::PictureNotLoaded;
        }
        if (type == kFileTypeTga && text != nullptr && files.gameType == kGameRedemption) {
            if (SetExtension(key, "nam"))
                ShowText(files, key, text);
            else
                text->clear();
        }
    } else if (type == kFileTypeTth || type == kFileTypeTtz) {
        if (text != nullptr) {
            FileEntry material = key;
            if (SetExtension(material, "vmt"))
                ShowText(files, material, text);
            else
                text->clear();
        }
        result.loaded = LoadTexture(files, message, key, image, &note.why, &note.texture) ? 1 : 0;
        note.hasTexture = result.loaded != 0;
    } else if (type == kFileTypeVmt) {
        result = LoadVmt(files, message, key, image, text, &note);
    } else if (type == kFileTypeNam) {
        result = LoadNam(files, message, key, image, text, &note);
    } else {
        note.why = Reason::PictureNotLoaded;
    }
    if (result.loaded) note.why = Reason::None;
    return result;
}
