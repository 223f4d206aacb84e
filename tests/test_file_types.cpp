#include "pack/FileTypes.h"

#include <gtest/gtest.h>

#include <string>

TEST(FileTypesTest, ClassifyExtension) {
    struct {
        const char* ext;
        FileType type;
    } cases[] = {
        {"tth", 27}, {"Tth", 27}, {"TTH", 27}, {"TTHX", 0}, {"", 0},  // whole, case-free comparison
        {"gam~", 10}, {"gam", 9},                                     // GAM and GAM~ differ
        {"vbsp", 30}, {"class", 41},                                  // longer extensions match whole
        {"ain", 1}, {"ntt", 63}, {"vmt", 34}, {"nam", 39}, {"wav", 36},
        {"MP3", kFileTypeMp3}, {"py", kFileTypePy}, {"pyc", 19},      // beyond the first 64 codes
        {"bsp", kFileTypeBsp},
        {"3ds", 0}, {"yml", 0}, {"zip", 0},                           // first character outside A..X
        {"mdl ", 0}, {"md", 0},
    };
    for (const auto& c : cases) EXPECT_EQ(ClassifyExtension(c.ext), c.type) << c.ext;
    EXPECT_EQ(ClassifyExtension(std::string(31, 'A').c_str()), 0u);
    EXPECT_EQ(ClassifyExtension(std::string(40, 'A').c_str()), 0u) << "too long for the buffer";
    EXPECT_EQ(ClassifyExtension(nullptr), 0u);
}

TEST(FileTypesTest, NamesWithoutAnExtensionAreUntyped) {
    EXPECT_EQ(ClassifyName("regent.dlg"), 5u);
    EXPECT_EQ(ClassifyName("archive.tar.TXT"), 29u);
    EXPECT_EQ(ClassifyName("README"), 0u);
    EXPECT_EQ(ClassifyName(".vmt"), 0u);
    EXPECT_EQ(ClassifyName("nodot"), 0u) << "not the text from the second character on";
}

TEST(FileTypesTest, CategoriesAndIcons) {
    int perCategory[7] = {};
    for (FileType t = 0; t < kFileTypeCount; ++t) ++perCategory[static_cast<uint32_t>(CategoryOf(t))];
    EXPECT_EQ(CategoryOf(0), FileCategory::Untyped);
    EXPECT_EQ(perCategory[static_cast<uint32_t>(FileCategory::Folder)], 0) << "no type is a folder";
    EXPECT_EQ(perCategory[static_cast<uint32_t>(FileCategory::Untyped)], 1);
    EXPECT_EQ(perCategory[static_cast<uint32_t>(FileCategory::Sound)], 2);  // WAV MP3
    EXPECT_EQ(CategoryOf(kFileTypePy), FileCategory::Text);
    EXPECT_EQ(CategoryOf(kFileTypeCount), FileCategory::Untyped);
    EXPECT_EQ(perCategory[static_cast<uint32_t>(FileCategory::Image)], 4);  // BMP TGA TTH TTZ
    EXPECT_EQ(perCategory[static_cast<uint32_t>(FileCategory::Model)], 4);  // MDL PHY VTX NOD
    EXPECT_EQ(CategoryOf(ClassifyExtension("nod")), FileCategory::Model);
    EXPECT_EQ(CategoryOf(ClassifyExtension("ttz")), FileCategory::Image);

    struct Item {
        int iImage = -1, iSelectedImage = -1;
    } item;
    const int expected[7][2] = {{10, 11}, {2, 3}, {4, 5}, {10, 11}, {6, 7}, {0, 1}, {12, 13}};
    for (uint32_t c = 0; c < 7; ++c) {
        SetTreeIcons(item, static_cast<FileCategory>(c));
        EXPECT_EQ(item.iImage, expected[c][0]) << c;
        EXPECT_EQ(item.iSelectedImage, expected[c][1]) << c;
    }
    EXPECT_STREQ(CategoryName(FileCategory::Untyped), "Untyped");
}
