// The readers below the session on game files held in memory: no pack is
// written or opened, and nothing of the session is linked in.
#include "model/BloodlinesModel.h"
#include "pack/GameFiles.h"
#include "texture/LoadImage.h"
#include "tools/MdlWriter.h"
#include "tools/TextureWriter.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

std::vector<uint8_t> Bytes(const std::string& s) { return std::vector<uint8_t>(s.begin(), s.end()); }

FileEntry Key(const char* path) {
    FileEntry key = {};
    std::strcpy(key.name, path);
    return key;
}

struct Files {
    MemoryFiles memory;
    GameFiles files;
    MessageSeam quiet;
    Files() {
        files.gameType = kGameBloodlines;
        files.memory = &memory;
        std::string tth, ttz;
        EXPECT_TRUE(BuildTexturePair(12, 16, 8, 1, tth, ttz));
        const std::string vmt = "\"$basetexture\" \"models/test/skin\"\n\"$nocull\" 1\n\"$translucent\" 1\n";
        EXPECT_TRUE(memory.Add("Materials/Models/Test/Skin.vmt", Bytes(vmt)));
        EXPECT_TRUE(memory.Add("materials\\models\\test\\skin.tth", Bytes(tth)));
        EXPECT_TRUE(memory.Add("materials/models/test/skin.ttz", Bytes(ttz)));
        EXPECT_TRUE(memory.Add("models/test/m.mdl", Bytes(MdlPair().Mdl())));
        EXPECT_TRUE(memory.Add("models/test/m.dx80.vtx", Bytes(MdlPair().Vtx())));
        EXPECT_TRUE(memory.Add("empty.txt", {}));
    }
};

}  // namespace

TEST(MemoryFilesTest, ReadsByPathIgnoringCaseAndSeparatorsAndTellsMissingFiles) {
    Files f;
    uint32_t size = 0;
    FileEntry key = Key("MATERIALS/models/TEST/skin.VMT");
    std::unique_ptr<uint8_t[]> bytes = ReadGameFile(f.files, key, size);
    ASSERT_TRUE(bytes);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(bytes.get()), 14), "\"$basetexture\"");
    for (const char* absent : {"materials/models/test/other.vmt", "empty.txt"}) {
        key = Key(absent);
        EXPECT_EQ(ReadGameFile(f.files, key, size), nullptr) << absent;
        EXPECT_EQ(size, 0u) << absent;
    }
    EXPECT_FALSE(f.memory.Add(std::string(256, 'a'), {1})) << "a path no key can hold";
    FileHandle handle;
    key = Key("models/test/m.mdl");
    EXPECT_EQ(OpenGameFile(f.files, handle, key, 1), 0u) << "a memory set has no handle to give";
}

TEST(MemoryFilesTest, MaterialAndTextureLoadWithoutAPack) {
    Files f;
    FileEntry key = Key("materials/models/test/skin.vmt");
    Image32 image = Image32{};
    std::string text = "previous";
    LoadResult r = LoadImage(f.files, f.quiet, key, image, &text);
    EXPECT_EQ(r.loaded, 1);
    EXPECT_EQ(r.translucent, 1);
    EXPECT_EQ(r.twoSided, 1);
    EXPECT_EQ(image.width, 16u);
    EXPECT_EQ(image.height, 8u);
    EXPECT_EQ(text.substr(0, 14), "\"$basetexture\"") << "the material is the companion text";
    image.Release();

    key = Key("materials/models/test/skin.ttz");
    EXPECT_EQ(LoadImage(f.files, f.quiet, key, image, &text).loaded, 1) << "either file of the pair";
    EXPECT_EQ(text.substr(0, 14), "\"$basetexture\"") << "a texture's companion is its .vmt";
    image.Release();
    key = Key("materials/models/test/none.tth");
    EXPECT_EQ(LoadImage(f.files, f.quiet, key, image, &text).loaded, 0);
    EXPECT_EQ(text, "") << "no material, no text";
    image.Release();
}

TEST(MemoryFilesTest, ModelPairLoadsIntoARecordWithoutTouchingAView) {
    Files f;
    FileEntry key = Key("models/test/m.dx80.vtx");
    LoadedModel model;
    std::string why;
    ASSERT_TRUE(LoadBloodlinesModel(f.files, f.quiet, key, model, why)) << why;
    ASSERT_EQ(model.meshes.size(), 3u);
    EXPECT_EQ(model.meshes[2].textureIndex, 1u);
    EXPECT_EQ(model.lockCount, 12u) << "undrawn groups count towards the locked size";
    ASSERT_EQ(model.textures.size(), 2u);
    EXPECT_FALSE(model.textures[0].substitute);
    EXPECT_EQ(model.textures[0].image.width, 16u);
    EXPECT_TRUE(model.textures[1].substitute) << "the material named gone is missing";
    EXPECT_EQ(model.text, "Material  1 skin.vmt\nMaterial  2 gone.vmt\n");
    EXPECT_EQ(model.checkList, (std::vector<std::string>{"skin", "skin", "gone"}));
    EXPECT_TRUE(model.hasSkeleton && model.skeleton.pointCount == 0 && model.rig == nullptr)
        << "a model without bones replaces the last skeleton with none";

    f.memory.files.erase("models\\test\\m.dx80.vtx");
    LoadedModel refused;
    key = Key("models/test/m.mdl");
    EXPECT_FALSE(LoadBloodlinesModel(f.files, f.quiet, key, refused, why));
    EXPECT_EQ(why, "the strip file (.dx80.vtx) cannot be read");
    EXPECT_TRUE(refused.meshes.empty() && refused.textures.empty());
}
