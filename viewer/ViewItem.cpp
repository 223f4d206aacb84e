#include "viewer/ViewItem.h"

#include "model/BloodlinesModel.h"
#include "model/RedemptionModel.h"
#include "pack/GameFiles.h"
#include "texture/LoadImage.h"

#include <cstring>

namespace {

// A file that cannot be shown must not leave the previous one on screen as
// if it were the selection: the view is emptied, and the text pane names the
// file and the reason in one line.
void ShowFailure(AppState& app, const std::string& path, const std::string& reason) {
    app.viewer.ReleaseModelTextures();
    app.viewer.ClearSkeleton();
    app.viewer.FillImage(0xFF000000u);
    app.textView.entryCount = 0;
    app.textView.SetMode(0);
    app.textView.SetText(path + ": " + reason + "\n");
}

}  // namespace

ItemView ViewTreeItem(AppState& app, TreeItem item) {
    if (!app.packsLoaded || item == kNoItem || app.tree.Data(item) == nullptr) return ItemView::Nothing;
    std::string path;
    if (!TreeItemPath(app.tree, item, path) || path.size() >= sizeof(FileEntry::name)) return ItemView::Nothing;
    FileEntry key = {};
    std::memcpy(key.name, path.data(), path.size());
    FileType type = ClassifyName(key.name);
    FileCategory category = CategoryOf(type);
    if (category == Image || (category == Text && (type == kFileTypeVmt || type == kFileTypeNam))) {
        Image32 image = Image32{};
        LoadResult result = LoadImage(app, key, image, true);
        ItemView view = ItemView::NoPicture;
        if (result.loaded) {
            app.textView.SetMode(0);
            app.viewer.ClearSkeleton();
            app.viewer.ShowImage(image, false, result.translucent != 0);
            view = ItemView::Picture;
        } else {
            ShowFailure(app, path, "the picture cannot be read (missing, damaged or of an unsupported format)");
        }
        image.Release();
        return view;
    }
    if (category == Text) {
        if (!ShowFileAsText(app, key)) app.textView.SetText(std::string());
        return ItemView::Text;
    }
    if (category == Model) {
        bool shown = app.gameType == kGameBloodlines ? LoadBloodlinesModel(app, key) : LoadRedemptionModel(app, key);
        if (!shown) ShowFailure(app, path, app.viewer.lastModelError);
        return shown ? ItemView::Model : ItemView::NoModel;
    }
    return ItemView::Nothing;
}
