// Every packed file is classified by its extension alone; contents are never
// sniffed. The type picks the category, the category picks the tree icons,
// the viewer and what the exports take.
#pragma once

#include <cstdint>

// 0 when the extension matched nothing; 1..kFileTypeCount-1 by the table in
// FileTypes.cpp.
using FileType = uint32_t;
const FileType kFileTypeCount = 67;

enum class FileCategory : uint32_t {
    Other = 0,
    Text = 1,
    Image = 2,
    Model = 3,
    Folder = 4,  // never produced by a FileType; folder items use it
    Untyped = 5,
    Sound = 6,
};
const uint32_t kFileCategoryCount = 7;

// The types the program treats by name. Each is its extension's row of the
// table in FileTypes.cpp, which checks them when it is compiled.
const FileType kFileTypeBmp = 3;
const FileType kFileTypeMdl = 14;
const FileType kFileTypeTga = 25;
const FileType kFileTypeTth = 27;
const FileType kFileTypeTtz = 28;
const FileType kFileTypeVmt = 34;
const FileType kFileTypeVtx = 35;
const FileType kFileTypeNam = 39;
const FileType kFileTypeNod = 44;
const FileType kFileTypeNms = 45;
const FileType kFileTypeMp3 = 64;
const FileType kFileTypePy = 65;
const FileType kFileTypeBsp = 66;

// The type of an extension (the text after the last '.', without the '.'),
// compared whole and ignoring ASCII case. Extensions of 32 characters or
// more, and null, give 0.
FileType ClassifyExtension(const char* extension);
// The type of a file name: its extension after the last '.'; a name without
// a '.' (or whose only '.' is its first character) is untyped.
FileType ClassifyName(const char* name);
FileCategory CategoryOf(FileType type);
const char* CategoryName(FileCategory category);

// The two tree images of a category (normal, selected).
struct TreeIcons {
    int32_t image;
    int32_t selectedImage;
};
TreeIcons IconsOf(FileCategory category);

// Writes the category's image numbers into a tree item description (any
// record with iImage and iSelectedImage, such as TVITEMA).
template <typename Item>
void SetTreeIcons(Item& item, FileCategory category) {
    TreeIcons icons = IconsOf(category);
    item.iImage = icons.image;
    item.iSelectedImage = icons.selectedImage;
}

// The bitmap resource behind each of the 14 tree images, in image order.
extern const uint16_t kTreeBitmapIds[14];
