#include "session/ViewItem.h"

#include "model/BloodlinesModel.h"
#include "model/RedemptionModel.h"

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
    app.textView.SetText(app.failure.Words() + "\n");
}

}  // namespace

bool ShowFileAsText(AppState& app, FileEntry& key) { return ShowFileAsText(app.Files(), app.textView, key); }

LoadResult LoadImage(AppState& app, FileEntry& key, Image32& image, bool showText) {
    std::string text;
    LoadResult result = LoadImage(app.Files(), app.message, key, image, showText ? &text : nullptr);
    if (showText) app.textView.SetText(text);
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
    if (!app.packsLoaded || item == kNoItem || app.tree.Data(item) == nullptr) return ItemView::Nothing;
    std::string path;
    if (!TreeItemPath(app.tree, item, path) || path.size() >= sizeof(FileEntry::name)) {
        app.failure = Failure{Reason::PathTooLong, app.tree.Text(item), std::string()};
        return ItemView::Nothing;
    }
    FileEntry key = {};
    std::memcpy(key.name, path.data(), path.size());
    FileType type = ClassifyName(key.name);
    FileCategory category = CategoryOf(type);
    if (category == FileCategory::Image ||
        (category == FileCategory::Text && (type == kFileTypeVmt || type == kFileTypeNam))) {
        Image32 image = Image32{};
        LoadResult result = LoadImage(app, key, image, true);
        ItemView view = ItemView::NoPicture;
        if (!result.loaded) app.failure = Failure{Reason::PictureNotLoaded, path, std::string()};
        if (result.loaded) {
            app.textView.SetMode(0);
            app.viewer.ClearSkeleton();
            app.viewer.ShowImage(image, false, result.translucent != 0);
            view = ItemView::Picture;
        } else {
            ShowFailure(app);
        }
        image.Release();
        return view;
    }
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
    app.failure = Failure{Reason::NothingToShow, path, std::string()};
    return ItemView::Nothing;
}
