#include "session/ViewItem.h"

#include "map/BspMap.h"
#include "model/BloodlinesModel.h"
#include "model/ModelData.h"
#include "model/RedemptionModel.h"
#include "textview/FileViews.h"

#include <cstring>

namespace {

using ModelReader = bool (*)(const GameFiles&, const MessageSeam&, FileEntry&, LoadedModel&, std::string&);

// Reads a model and, when it could be read, puts it on display.
bool LoadAndShowModel(AppState& app, FileEntry& key, ModelReader read, bool tellLockFailure) {
    LoadedModel model;
    std::string why;
    std::string subject = key.name;
    app.failure.Clear();
    if (!read(app.Files(), app.message, key, model, why)) {
        app.failure = Failure{Reason::ModelNotLoaded, subject, why};
        return false;
    }
    Viewer& viewer = app.viewer;
    viewer.motionFile = model.motionFile;
    if (!viewer.ShowModel(model)) {
        app.failure = Failure{Reason::ModelNotLoaded, subject, "Error Locking Vertex Buffer"};
        if (tellLockFailure) app.message.Show(app.failure.detail.c_str(), "Error!");
        return false;
    }
    if (model.setsScale) app.camera.modelScale = model.camera.modelScale;
    float scale = app.camera.modelScale;
    app.camera = model.camera;
    app.camera.modelScale = scale;
    app.textView.SetText(model.text);
    app.textView.entryCount = 0;
    for (size_t i = 0; i < model.checkList.size(); ++i) app.textView.SetItem(uint32_t(i), model.checkList[i]);
    app.textView.SetMode(1);
    return true;
}

// A file that cannot be shown must not leave the previous one on screen as
// if it were the selection: the view is emptied, and the text pane names the
// file and the reason in one line (a reader's own words when it gave any).
void ShowFailure(AppState& app) {
    app.viewer.ReleaseModelTextures();
    app.viewer.ClearSkeleton();
    app.viewer.FillImage(0xFF000000u);
    app.textView.entryCount = 0;
    app.textView.SetMode(0);
    app.textView.SetText(app.failure.Words() + "\n", std::string());
}

// The lead of a picture's companion text: what its texture is.
std::string FactsLead(const PictureNotes& notes) {
    return notes.hasTexture ? TextureFactsLine(notes.texture) + "\n" : std::string();
}

void ShowPictureOnly(AppState& app, const Image32& image, bool alpha) {
    app.textView.SetMode(0);
    app.viewer.ClearSkeleton();
    app.viewer.ShowImage(image, false, alpha);
}

// An image, texture or material. A material that could be read but whose
// texture could not keeps its text in the pane, after a line saying which
// texture it looked for and why; the view shows the checkerboard the models
// show for it too.
ItemView ShowPicture(AppState& app, FileEntry& key, const std::string& path, bool material) {
    Image32 image = Image32{};
    std::string text;
    PictureNotes notes;
    LoadResult result = LoadImage(app.Files(), app.message, key, image, &text, &notes);
    ItemView view = ItemView::Picture;
    if (result.loaded) {
        app.textView.SetText(FactsLead(notes), text);
        ShowPictureOnly(app, image, result.translucent != 0);
    } else {
        view = ItemView::NoPicture;
        bool told = notes.why != Reason::None && notes.why != Reason::PictureNotLoaded;
        app.failure = Failure{Reason::PictureNotLoaded, path, told ? notes.Line() : std::string()};
        image.Release();
        if (material && !text.empty() && MakeCheckerboard(image)) {
            app.textView.SetText(notes.Line() + "\n", text);
            app.viewer.ReleaseModelTextures();
            ShowPictureOnly(app, image, false);
        } else {
            ShowFailure(app);
        }
    }
    image.Release();
    return view;
}

// A file of no other kind as a hex view; with asMap, a map's directory,
// pakfile list and entities (a file that is no map at all is shown as bytes,
// after a line saying so).
ItemView ShowBytes(AppState& app, FileEntry& key, const std::string& path, bool asMap) {
    uint32_t size = 0;
    Reason why = Reason::None;
    std::unique_ptr<uint8_t[]> bytes = ReadGameFile(app.Files(), key, size, &why);
    // An empty file has no byte to show, which the view says.
    if (!bytes && why == Reason::EmptyFile) bytes.reset(new uint8_t[1]);
    if (!bytes) {
        app.failure = Failure{why, path, std::string()};
        ShowFailure(app);
        return ItemView::Nothing;
    }
    BspMap map;
    if (asMap && ReadBspMap(bytes.get(), size, map)) {
        app.textView.SetText(MapText(map));
        return ItemView::Map;
    }
    std::string lead = asMap ? std::string(ReasonWords(Reason::NotAMap)) + "\n" : std::string();
    app.textView.SetText(lead, HexDumpText(bytes.get(), size));
    return ItemView::Bytes;
}

// The item's in-pack path as a lookup key; false, with app.failure saying
// why, for a folder or a path too long for a key.
bool ItemKey(AppState& app, TreeItem item, FileEntry& key, std::string& path) {
    if (!app.packsLoaded || item == kNoItem || app.tree.Data(item) == nullptr) return false;
    if (!TreeItemPath(app.tree, item, path) || path.size() >= sizeof(FileEntry::name)) {
        app.failure = Failure{Reason::PathTooLong, app.tree.Text(item), std::string()};
        return false;
    }
    key = FileEntry{};
    std::memcpy(key.name, path.data(), path.size());
    return true;
}

}  // namespace

bool ShowFileAsText(AppState& app, FileEntry& key) { return ShowFileAsText(app.Files(), app.textView, key); }

LoadResult LoadImage(AppState& app, FileEntry& key, Image32& image, bool showText) {
    std::string text;
    PictureNotes notes;
    LoadResult result = LoadImage(app.Files(), app.message, key, image, showText ? &text : nullptr, &notes);
    if (showText) app.textView.SetText(FactsLead(notes), text);
    return result;
}

ItemView ShowSound(AppState& app, FileEntry& key) {
    SoundClip& clip = app.sound;
    uint32_t serial = clip.serial + 1;
    clip = SoundClip{};
    clip.serial = serial;
    uint32_t size = 0;
    clip.bytes = ReadGameFile(app.Files(), key, size);
    clip.size = size;
    if (!clip.bytes) clip.info.failure = SoundFailure::Unreadable;
    else clip.readable = ReadSoundInfo(clip.bytes.get(), clip.size, clip.info);
    app.textView.SetText((clip.readable ? SoundLine(clip.info) : SoundFailureLine(clip.info.failure)) + "\n");
    return clip.readable ? ItemView::Sound : ItemView::NoSound;
}

bool LoadBloodlinesModel(AppState& app, FileEntry& key) {
    return LoadAndShowModel(app, key, LoadBloodlinesModel, true);
}

bool LoadRedemptionModel(AppState& app, FileEntry& key) {
    return LoadAndShowModel(app, key, LoadRedemptionModel, false);
}

ItemView ViewTreeItem(AppState& app, TreeItem item) {
    app.failure.Clear();
    // Whatever is selected next, an animation playing stops.
    app.viewer.Play(-1, 0);
    FileEntry key;
    std::string path;
    if (!ItemKey(app, item, key, path)) return ItemView::Nothing;
    FileType type = ClassifyName(key.name);
    FileCategory category = CategoryOf(type);
    bool material = type == kFileTypeVmt || type == kFileTypeNam;
    if (category == FileCategory::Image || (category == FileCategory::Text && material))
        return ShowPicture(app, key, path, material);
    if (category == FileCategory::Text) {
        if (!ShowFileAsText(app, key)) app.textView.SetText(std::string());
        return ItemView::Text;
    }
    if (category == FileCategory::Sound) return ShowSound(app, key);
    if (category == FileCategory::Model) {
        bool shown = app.gameType == kGameBloodlines ? LoadBloodlinesModel(app, key) : LoadRedemptionModel(app, key);
        if (!shown) {
            app.failure.subject = path;
            ShowFailure(app);
        }
        return shown ? ItemView::Model : ItemView::NoModel;
    }
    return ShowBytes(app, key, path, type == kFileTypeBsp);
}

ItemView ShowItemBytes(AppState& app, TreeItem item) {
    app.failure.Clear();
    FileEntry key;
    std::string path;
    if (!ItemKey(app, item, key, path)) return ItemView::Nothing;
    return ShowBytes(app, key, path, false);
}
