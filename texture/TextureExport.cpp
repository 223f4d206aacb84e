#include "texture/TextureExport.h"

#include "texture/ImageFiles.h"
#include "texture/LoadImage.h"
#include "texture/Png.h"
#include "texture/TextureFile.h"

#include <cstring>
#include <string>

namespace {

std::string AfterLastSeparator(const std::string& path) { return path.substr(FileNameStart(path)); }

}  // namespace

namespace {

// The export of one picture in the format of the extension ext (".tga" or
// ".png") with write, which gives true only when the whole file was written.
bool ExportPicture(const ExportJob& job, FileEntry& key, const char* ext, bool (*write)(const Image32&, FileHandle&)) {
    ExtractReport& report = job.extraction.report;
    std::string path = key.name;
    std::string name = AfterLastSeparator(path);
    std::string folder = path.substr(0, path.size() - name.size());
    size_t dot = name.find('.');
    std::string outName = (dot == std::string::npos ? name : name.substr(0, dot)) + ext;
    job.progress.SetText(outName.c_str());

    OutputFile out;
    if (!OpenOutputFile(job.extraction, out, (folder + outName).c_str(), 0)) {
        if (out.status == Reason::OutputExists) {
            ++report.skipped;
            return true;
        }
        report.Fail(path, out.status);
        return false;
    }
    Image32 image = Image32{};
    LoadResult loaded = LoadImage(job.files, job.message, key, image, nullptr);
    bool written = loaded.loaded && write(image, out.file) && out.Commit();
    image.Release();
    if (!written) {
        // Nothing is left behind: an empty file would pass for an export.
        out.Abandon();
        report.Fail(path, loaded.loaded ? Reason::CannotWrite : Reason::PictureNotLoaded);
        return false;
    }
    ++report.written;
    return true;
}

}  // namespace

bool ExportTextureAsTga(const ExportJob& job, FileEntry& key) { return ExportPicture(job, key, ".tga", WriteTga); }

bool ExportTextureAsPng(const ExportJob& job, FileEntry& key) { return ExportPicture(job, key, ".png", WritePng); }

bool ConvertTgaToTexture(const DropJob& job, TreeItem item, const char* dropped) {
    PackTree& tree = job.tree;
    const MessageSeam& message = job.message;
    std::string path = dropped;
    std::string fileName = AfterLastSeparator(path);
    Image32 image = Image32{};
    auto fail = [&](const std::string& shown) {
        image.Release();
        message.Show(shown.c_str(), "File Not Found In Current Directory.");
        return false;
    };
    Reason why = Reason::None;
    if (!ReadPictureFile(image, path.c_str(), &why)) {
        // Only a file that is not there is "not found"; one that is there
        // is named with what is wrong with it.
        if (why == Reason::NotFound) return fail(fileName);
        message.Show(Failure{why, fileName, std::string()}.Words().c_str(), "Error!");
        return false;
    }

    size_t dot = path.find_last_of('.');
    if (dot != std::string::npos && dot > path.size() - fileName.size()) path.resize(dot);
    std::string stem = AfterLastSeparator(path);
    std::string header = stem + ".tth", body = stem + ".ttz";

    // Both siblings first: writing one file of a pair and not the other would
    // leave a texture the game cannot read.
    TreeItem first = FirstSiblingOf(tree, item);
    TreeItem bodyItem = FindTreeSibling(tree, first, body);
    if (FindTreeSibling(tree, first, header) == kNoItem || bodyItem == kNoItem) return fail(stem);

    OutputFile tth, ttz;
    if (!OpenWriteBack(tree, tth, item, header.c_str()) || !OpenWriteBack(tree, ttz, item, body.c_str()))
        return fail(stem);
    job.progress.SetText(stem.c_str());

    TextureFile texture;
    texture.message = message;
    bool encoded = texture.Encode(image, tth.file, ttz.file);
    image.Release();
    // The encoder writes nothing when packing fails (it says so itself).
    if (!encoded || tth.file.Skip(0) == 0 || ttz.file.Skip(0) == 0) return false;
    if (!tth.Commit() || !ttz.Commit()) {
        message.Show(stem.c_str(), "Error Writing Texture Files!");
        return false;
    }
    tree.Select(bodyItem);
    return true;
}
