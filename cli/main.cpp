// quillon: the command-line front end over the same core as the Windows
// program. Every command that takes a PACK opens it as "Set Directory" does:
// the pack's folder becomes the data folder and the current directory.
#include "pack/FileHandle.h"
#include "pack/TreeSelect.h"
#include "cli/CommandLine.h"
#include "session/AppState.h"
#include "session/Operations.h"
#include "session/ViewItem.h"
#include "texture/ImageFiles.h"
#include "texture/Png.h"

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#define isatty _isatty
#define fileno _fileno
#else
#include <unistd.h>
#endif

namespace {

// Message boxes of the core become one line on stderr.
void PrintMessage(void*, const char* text, const char* caption) { std::fprintf(stderr, "%s: %s\n", caption, text); }

// The progress window becomes a bar on stderr, only on a terminal.
struct TerminalBar {
    std::string title;
    uint32_t lastDrawn = 0xFFFFFFFFu;
};

void* BarCreate(void* context, const char* title) {
    TerminalBar* bar = static_cast<TerminalBar*>(context);
    bar->title = title;
    bar->lastDrawn = 0xFFFFFFFFu;
    return bar;
}

void BarUpdate(void*, void* window, uint32_t position, uint32_t maximum) {
    TerminalBar* bar = static_cast<TerminalBar*>(window);
    if (maximum == 0) return;
    uint32_t permille = static_cast<uint32_t>(uint64_t(position) * 1000 / maximum);
    if (permille == bar->lastDrawn) return;
    bar->lastDrawn = permille;
    int filled = static_cast<int>(permille * 30 / 1000);
    std::fprintf(stderr, "\r%s [%.*s%*s] %3u%%", bar->title.c_str(), filled, "##############################",
                 30 - filled, "", permille / 10);
    std::fflush(stderr);
}

void BarDestroy(void*, void* window) {
    if (static_cast<TerminalBar*>(window)->lastDrawn != 0xFFFFFFFFu) std::fprintf(stderr, "\n");
}

TerminalBar gBar;

void UseTerminalBar(AppState& app) {
    if (!isatty(fileno(stderr))) return;
    app.progressHooks.context = &gBar;
    app.progressHooks.create = BarCreate;
    app.progressHooks.update = BarUpdate;
    app.progressHooks.destroy = BarDestroy;
}

// A failure of the core, on one line of stderr.
void Say(const Failure& failure) { std::fprintf(stderr, "quillon: %s\n", failure.Words().c_str()); }

// Opens the pack as the GUI's "Set Directory" does; says why on failure.
bool OpenPackOrSay(AppState& app, const char* pack) {
    app.message.show = PrintMessage;
    UseTerminalBar(app);
    if (!FileExists(pack)) {
        std::fprintf(stderr, "quillon: %s: no such pack file\n", pack);
        return false;
    }
    if (!OpenPack(app, pack)) {
        Say(app.failure);
        return false;
    }
    return true;
}

// The tree item a command names; says so when there is none.
TreeItem FindItemOrSay(const AppState& app, const char* item, const char* pack) {
    TreeItem found = FindTreeItemByPath(app.tree, item);
    if (found == kNoItem) std::fprintf(stderr, "quillon: %s: not found in %s\n", item, pack);
    return found;
}

int Packs(const ParsedArgs& args) {
    AppState app;
    if (!OpenPackOrSay(app, args.operands[0])) return 1;
    const PackCounts& counts = app.CurrentPacks();
    for (int32_t pos = 0; pos < app.packList.Count(); ++pos) {
        std::printf("%u\t%u\t%s\n", app.packList.GetItemData(pos), counts.FileCountAt(pos),
                    app.packList.GetText(pos).c_str());
    }
    return std::fflush(stdout) == 0 ? 0 : 1;
}

int Cat(const ParsedArgs& args) {
    AppState app;
    if (!OpenPackOrSay(app, args.operands[0])) return 1;
    const char* wanted = args.operands[1];
    FileEntry key = {};
    if (std::strlen(wanted) >= sizeof key.name) {
        std::fprintf(stderr, "quillon: %s: not found\n", wanted);
        return 1;
    }
    std::strcpy(key.name, wanted);
    FileHandle file;
    Reason why = Reason::None;
    uint32_t size = OpenGameFile(app.Files(), file, key, 0, &why);
    if (size == 0) {
        // Readers treat an empty file as absent; cat still writes it.
        if (why == Reason::EmptyFile) return 0;
        Say(Failure{why, wanted, std::string()});
        return 1;
    }
    std::unique_ptr<uint8_t[]> bytes = file.ReadAll(size);
    if (!bytes) {
        std::fprintf(stderr, "quillon: %s: cannot read %u bytes\n", wanted, size);
        return 1;
    }
#ifdef _WIN32
    _setmode(_fileno(stdout), _O_BINARY);
#endif
    if (std::fwrite(bytes.get(), 1, size, stdout) != size || std::fflush(stdout) != 0) {
        std::fprintf(stderr, "quillon: writing standard output failed\n");
        return 1;
    }
    return 0;
}

// The item's path as list prints it: components joined with '/', however long.
std::string ListedPath(const PackTree& tree, TreeItem item) {
    std::string path = tree.Text(item);
    for (TreeItem up = tree.Parent(item); up != kNoItem; up = tree.Parent(up)) path = tree.Text(up) + "/" + path;
    return path;
}

// The files the ITEM or PATTERN operands from first on select, in tree order
// (every file when there are none). Each operand that selects nothing is
// named on stderr, and then matched is false.
std::vector<TreeItem> SelectOrSay(const AppState& app, const ParsedArgs& args, size_t first, bool& matched) {
    if (args.operands.size() <= first) return AllTreeFiles(app.tree);
    std::vector<std::string> wanted(args.operands.begin() + first, args.operands.end()), unmatched;
    std::vector<TreeItem> files = SelectTreeFiles(app.tree, wanted, unmatched);
    for (const std::string& arg : unmatched)
        std::fprintf(stderr, "quillon: %s: not found in %s\n", arg.c_str(), args.operands[0]);
    matched = unmatched.empty();
    return files;
}

int List(const ParsedArgs& args) {
    AppState app;
    if (!OpenPackOrSay(app, args.operands[0])) return 1;
    bool matched = true;
    std::vector<TreeItem> files = SelectOrSay(app, args, 1, matched);
    bool longForm = args.Has("--long");
    std::string out;
    for (TreeItem item : files) {
        if (longForm) {
            out += std::to_string(app.tree.Data(item)->size);
            out += '\t';
            out += CategoryName(CategoryOfName(app.tree.Text(item)));
            out += '\t';
        }
        out += ListedPath(app.tree, item);
        out += '\n';
        if (out.size() > (1u << 16)) {
            std::fwrite(out.data(), 1, out.size(), stdout);
            out.clear();
        }
    }
    std::fwrite(out.data(), 1, out.size(), stdout);
    return std::fflush(stdout) == 0 && matched ? 0 : 1;
}

// Absolute, so that opening the pack (which enters its folder) keeps it.
bool AbsolutePath(const char* given, std::string& path) {
    std::error_code ec;
    path = std::filesystem::absolute(given, ec).string();
    if (ec) std::fprintf(stderr, "quillon: %s: not a usable path\n", given);
    return !ec;
}

int Extract(const ParsedArgs& parsed) {
    const std::vector<const char*>& args = parsed.operands;
    const char* outDir = parsed.Value("-o");
    // The pack's folder becomes the current directory; DIR is meant from here.
    std::string output;
    if (!AbsolutePath(outDir, output)) return 1;
    AppState app;
    if (!OpenPackOrSay(app, args[0])) return 1;
    app.extraction.outputFolder = output;
    app.extraction.extractTree = !parsed.Has("--flat");
    uint32_t command = parsed.Has("--tga")    ? kExtractTextures
                       : parsed.Has("--png")  ? kExtractTexturesPng
                       : parsed.Has("--x")    ? kExtractModels
                       : parsed.Has("--gltf") ? kExtractModelsGltf
                                              : kExtractFiles;

    // Nothing is written unless every ITEM and PATTERN selects something.
    bool matched = true;
    std::vector<TreeItem> files = SelectOrSay(app, parsed, 1, matched);
    if (!matched) return 1;

    app.extraction.report.Clear();
    RunExtraction(app, files, command);
    const ExtractReport& report = app.extraction.report;
    for (const Failure& problem : report.problems) Say(problem);
    for (const std::string& note : report.notes) std::fprintf(stderr, "quillon: %s\n", note.c_str());
    std::fprintf(stderr, "written %u, skipped %u, failed %u\n", report.written, report.skipped, report.failed);
    return report.failed == 0 ? 0 : 1;
}

// The model on display as the 3D view would draw it: its meshes (check-list
// name, triangles, texture slot and that slot's flags), its texture slots,
// the camera, and for Redemption models the skeleton and the motion file.
void PrintModel(const AppState& app) {
    const Viewer& v = app.viewer;
    for (uint32_t i = 0; i < v.meshCount; ++i) {
        const MeshRange& mesh = v.meshes[i];
        uint32_t slot = mesh.textureIndex + 1;
        const TextureSlot* t = slot < v.slotCount ? &v.slots[slot] : nullptr;
        std::printf("mesh %u\t%s\ttriangles %u\tslot %u\ttwoSided %u\talpha %u\n", i,
                    i < app.textView.entryCount ? app.textView.entries[i].name.c_str() : "", mesh.triangleCount, slot,
                    t != nullptr ? t->twoSided : 0u, t != nullptr ? t->alpha : 0u);
    }
    // A Bloodlines model's bones and every animation it can play, its own
    // and those of the model files it includes.
    if (app.gameType == kGameBloodlines) {
        std::printf("bones %zu\n", v.rig != nullptr ? v.rig->skeleton.bones.size() : size_t(0));
        for (size_t a = 0; v.rig != nullptr && a < v.rig->skeleton.animations.size(); ++a) {
            const mdlformat::MdlAnimation& anim = v.rig->skeleton.animations[a];
            std::printf("animation %s %u frames %g fps\n", anim.name.c_str(), anim.frameCount, double(anim.fps));
        }
        for (size_t n = 0; v.rig != nullptr && n < v.rig->notes.size(); ++n)
            std::fprintf(stderr, "quillon: %s\n", v.rig->notes[n].c_str());
    }
    for (uint32_t slot = 1; slot < v.slotCount; ++slot) {
        const TextureSlot& t = v.slots[slot];
        if (t.substitute)
            std::printf("texture %u\tcheckerboard\n", slot);
        else
            std::printf("texture %u\t%ux%u\n", slot, t.image.width, t.image.height);
    }
    const Camera& c = app.camera;
    // The camera the model was framed with: the point it turns about and the
    // eye, as the 3D view starts from.
    std::printf("camera\teye %g %g %g\torientation %g %g %g\tcentre %g %g %g\n", c.eye[0], c.eye[1], c.eye[2], c.yaw,
                c.pitch, c.roll, c.centre[0], c.centre[1], c.centre[2]);
    // Only Redemption models have a skeleton and a motion file.
    if (app.gameType != kGameRedemption) return;
    std::printf("skeleton\t%u segments\tscale %g\n", v.skeleton.pointCount / 2, c.modelScale);
    std::printf("motion\t%s\n", v.motionFile.empty() ? "none found" : v.motionFile.c_str());
}

// A sound's line of the text pane goes to stderr: its facts, or why it
// cannot be read (then the status is 1).
int ReportSound(const AppState& app, const char* item, bool wantsPicture) {
    if (!app.sound.readable) {
        std::fprintf(stderr, "quillon: %s: %s", item, app.textView.text.c_str());
        return 1;
    }
    std::fputs(app.textView.text.c_str(), stderr);
    if (wantsPicture) std::fprintf(stderr, "quillon: %s: a sound has no picture for -o\n", item);
    return wantsPicture ? 1 : 0;
}

// Writes the shown picture to OUT: PNG for .png, Targa otherwise.
int WritePicture(const AppState& app, const char* out, const std::string& outPath) {
    const Image32& picture = app.viewer.slot0.image;
    FileHandle file;
    bool png = HasPngExtension(outPath.c_str());
    if (!file.Create(outPath.c_str()) || !(png ? WritePng(picture, file) : WriteTga(picture, file))) {
        file.Close();
        RemoveFile(outPath.c_str());
        std::fprintf(stderr, "quillon: %s: cannot write\n", out);
        return 1;
    }
    return 0;
}

// What a view other than a picture gives: its status, saying so when -o
// asked for a picture it does not have.
int NoPictureFor(const char* item, const char* what, bool wantsPicture) {
    if (wantsPicture) std::fprintf(stderr, "quillon: %s: %s has no picture for -o\n", item, what);
    return wantsPicture ? 1 : 0;
}

int Show(const ParsedArgs& parsed) {
    const std::vector<const char*>& args = parsed.operands;
    const char* out = parsed.Value("-o");
    std::string outPath;
    if (out != nullptr && !AbsolutePath(out, outPath)) return 1;
    AppState app;
    if (!OpenPackOrSay(app, args[0])) return 1;
    TreeItem item = FindItemOrSay(app, args[1], args[0]);
    if (item == kNoItem) return 1;
    if (app.tree.Data(item) == nullptr) {
        std::fprintf(stderr, "quillon: %s: is a folder\n", args[1]);
        return 1;
    }
    ItemView view = parsed.Has("--hex") ? ShowItemBytes(app, item) : ViewTreeItem(app, item);
#ifdef _WIN32
    _setmode(_fileno(stdout), _O_BINARY);
#endif
    // The pane's text: the file's own on stdout; Quillon's lines before it
    // (a texture's facts, what a material misses) on stderr.
    const TextContent& pane = app.textView;
    bool sound = view == ItemView::Sound || view == ItemView::NoSound;
    if (!sound) std::fwrite(pane.text.data() + pane.leadSize, 1, pane.text.size() - pane.leadSize, stdout);
    if (std::fflush(stdout) != 0) return 1;
    // Named as the user named it.
    Failure failure = app.failure;
    failure.subject = args[1];
    std::string lead = pane.text.substr(0, pane.leadSize);
    switch (view) {
    case ItemView::Sound:
    case ItemView::NoSound:
        return ReportSound(app, args[1], out != nullptr);
    case ItemView::Nothing:
    case ItemView::NoPicture:
    case ItemView::NoModel:
        // A material's missing texture is told once, in the failure.
        Say(failure);
        return 1;
    case ItemView::Model:
        PrintModel(app);
        return NoPictureFor(args[1], "a model", out != nullptr);
    case ItemView::Text:
        return NoPictureFor(args[1], "a text file", out != nullptr);
    case ItemView::Map:
        return NoPictureFor(args[1], "a map", out != nullptr);
    case ItemView::Bytes:
        std::fputs(lead.c_str(), stderr);
        return NoPictureFor(args[1], "a file of no known kind", out != nullptr);
    case ItemView::Picture:
        break;
    }
    const Image32& picture = app.viewer.slot0.image;
    std::fprintf(stderr, "picture %ux%u%s\n", picture.width, picture.height,
                 app.viewer.slot0.alpha ? ", translucent" : "");
    std::fputs(lead.c_str(), stderr);
    return out == nullptr ? 0 : WritePicture(app, out, outPath);
}

// The operands of a drop on the tree, PACK ITEM FILE...: the files made
// absolute (opening the pack enters its folder), the pack opened and the
// item found. Gives the exit status to return now, or -1 to go on.
int OpenDrop(const std::vector<const char*>& args, AppState& app, TreeItem& item, std::vector<std::string>& files) {
    for (size_t i = 2; i < args.size(); ++i) {
        std::string path;
        if (!AbsolutePath(args[i], path)) return 1;
        files.push_back(path);
    }
    if (!OpenPackOrSay(app, args[0])) return 1;
    item = FindItemOrSay(app, args[1], args[0]);
    return item == kNoItem ? 1 : -1;
}

int Convert(const ParsedArgs& args) {
    AppState app;
    TreeItem item = kNoItem;
    std::vector<std::string> targas;
    int status = OpenDrop(args.operands, app, item, targas);
    if (status >= 0) return status;
    int failed = 0;
    app.progress.Create("Convert Targa To Texture");
    app.progress.SetRange(0, static_cast<uint32_t>(targas.size()));
    app.progress.SetPos(0);
    app.progress.SetStep(1);
    for (const std::string& t : targas) {
        if (!ConvertTgaToTexture(app, item, t.c_str())) ++failed;
        app.progress.StepIt();
    }
    app.progress.Destroy();
    std::fprintf(stderr, "converted %d, failed %d\n", static_cast<int>(targas.size()) - failed, failed);
    return failed == 0 ? 0 : 1;
}

int Modify(const ParsedArgs& args) {
    AppState app;
    TreeItem item = kNoItem;
    std::vector<std::string> files;
    int status = OpenDrop(args.operands, app, item, files);
    if (status >= 0) return status;
    // A refusal the GUI shows as a message box is printed once, as such.
    int told = 0;
    app.message.context = &told;
    app.message.show = [](void* context, const char* text, const char* caption) {
        ++*static_cast<int*>(context);
        PrintMessage(nullptr, text, caption);
    };
    int failed = 0;
    for (size_t i = 0; i < files.size(); ++i) {
        std::string result;
        int before = told;
        if (ModifyModelVertices(app, item, files[i], &result)) {
            std::fprintf(stderr, "%s: wrote %s\n", args.operands[2 + i], result.c_str());
        } else {
            if (told == before) {
                app.failure.subject = args.operands[2 + i];
                std::fprintf(stderr, "quillon: %s\n", app.failure.Words().c_str());
            }
            ++failed;
        }
    }
    std::fprintf(stderr, "modified %d, failed %d\n", static_cast<int>(files.size()) - failed, failed);
    return failed == 0 ? 0 : 1;
}

const char kIntro[] =
    "usage: quillon COMMAND [ARGS]\n"
    "\n"
    "Browse and read the packs of Redemption (*.nob) and Bloodlines (*.vpk).\n"
    "A PACK's folder is the data folder: every pack of the same kind there is\n"
    "listed and indexed, and loose files below it win over packed ones.\n";

const char kOutro[] =
    "options:\n"
    "  --help           show this help (also: quillon COMMAND --help)\n"
    "  --version        show the version\n"
    "  --               end of options: every later word is an argument\n"
    "\n"
    "exit status: 0 success, 1 the work failed, 2 usage error\n";

const ProgramSpec kProgram = {kIntro, kOutro, QUILLON_VERSION, {
    {"packs", "PACK", "list the folder's packs: NUMBER<TAB>FILES<TAB>NAME",
     "Opens PACK and prints the pack list of its folder in list order (sorted by\n"
     "name ignoring case), one line per pack: the pack number, the number of\n"
     "files the pack holds, and its file name, separated by tabs.\n",
     {}, 1, 1, "packs takes one PACK", Packs},
    {"list", "PACK [PATTERN...] [--long]", "list the pack's files, or those the PATTERNs select,\n"
     "in tree order",
     "Prints every file of PACK in tree order (depth first, folders and files\n"
     "sorted by name ignoring case), one per line, as its path inside the pack\n"
     "with '/' between components and letter case as stored.\n"
     "With PATTERNs, only the files they select, each once: a PATTERN naming an\n"
     "item of the tree selects that file or every file below that folder; other\n"
     "PATTERNs match paths: '*' and '?' within one folder or file name, '**'\n"
     "across folders, case ignored, and without '/' file names in any folder\n"
     "('*.vmt', 'models/**/g_*.mdl'). A PATTERN that selects nothing is named\n"
     "on standard error and the status is 1.\n",
     {{"--long", nullptr, "print SIZE<TAB>CATEGORY<TAB>PATH; CATEGORY is one of\n"
                          "Other Text Image Model Untyped Sound"}},
     1, -1, "list takes a PACK", List},
    {"cat", "PACK PATH", "write the bytes of game file PATH to standard output",
     "Opens PACK and writes the bytes of game file PATH to standard output.\n"
     "PATH is an in-pack path ('/' or '\\', any case); a loose file of that path\n"
     "below the data folder wins over the packed one.\n",
     {}, 2, 2, "cat takes a PACK and a PATH", Cat},
    {"extract", "PACK [ITEM|PATTERN...] -o DIR [--flat] [--tga | --png | --x | --gltf]",
     "copy the files below each ITEM or matching a PATTERN\n"
     "(default: all) into DIR, or with --tga / --png write every\n"
     "picture as a Targa / PNG file, with --x every Bloodlines\n"
     "model as a DirectX .x mesh, with --gltf every model as a\n"
     "binary glTF 2.0 file",
     "Copies every file below each ITEM (a folder or file of the pack's tree,\n"
     "named by its path as 'list' prints it, any case, '/' or '\\'), unchanged,\n"
     "into DIR. Without ITEMs every file is extracted. Any other word is a\n"
     "PATTERN: '*' and '?' match within one folder or file name, '**' across\n"
     "folders, case is ignored, and a PATTERN without '/' matches file names in\n"
     "any folder ('*.vmt', 'models/**/g_*.mdl'; quote them from the shell).\n"
     "Files go in tree order, each once. An ITEM or PATTERN that selects\n"
     "nothing is named, and then nothing is extracted (status 1). Raw copies\n"
     "replace existing files. Paths inside the pack that would leave DIR ('..',\n"
     "absolute paths, drives, empty components) are refused and count as\n"
     "failed. Ends with 'written N, skipped M, failed K' on standard error.\n",
     {{"-o", "DIR", "the output folder (created when missing)", 0, true},
      {"--flat", nullptr, "write every file directly into DIR under its bare name, without\n"
                          "the pack's folders; a later file replaces an earlier one of the\n"
                          "same name"},
      {"--tga", nullptr, "write every image, texture and material (BMP, TGA, TTH, TTZ) as a\n"
                         "32-bit Targa file NAME.tga; existing .tga files are kept and\n"
                         "counted as skipped, pictures that cannot be read as failed", 1},
      {"--x", nullptr, "write every Bloodlines model (the .mdl and .dx80.vtx pair) as a\n"
                       "DirectX text mesh STEM.x, with the texture of each of its meshes\n"
                       "as a Targa file beside it; an existing .x is kept and counted as\n"
                       "skipped (its textures are not written either), a model that\n"
                       "cannot be read counts as failed and leaves nothing behind; each\n"
                       "model counts once, whichever of its files the walk meets", 1},
      {"--png", nullptr, "as --tga, but as an 8-bit PNG file NAME.png (RGB when the picture\n"
                         "is opaque, else RGBA)", 1},
      {"--gltf", nullptr, "write every model of either game (a Bloodlines .mdl / .dx80.vtx\n"
                          "pair, a Redemption .nod) once as a binary glTF 2.0 file STEM.glb\n"
                          "with its textures inside as PNG, Y up; a Redemption model's\n"
                          "bones come as a hierarchy of nodes; a Bloodlines model whose\n"
                          "vertices use more than one bone comes with its skeleton as a\n"
                          "skin, its attachments, and every animation of its own and of\n"
                          "the model files it includes (one that is not in the packs is\n"
                          "named on standard error). An existing .glb is kept and\n"
                          "counted as skipped, a model that cannot be read counts as failed\n"
                          "and leaves nothing behind; a texture that cannot be loaded leaves\n"
                          "its material without one and is named on standard error", 1}},
     1, -1, "extract takes a PACK", Extract},
    {"show", "PACK ITEM [-o OUT.tga|OUT.png | --hex]",
     "what selecting ITEM shows: its text, a picture's\n"
     "companion text (and with -o the picture as Targa or PNG),\n"
     "a model's meshes, bones and animations, a sound's facts, a\n"
     "map's directory and entities, or a hex view of the file",
     "Shows ITEM as selecting it in the tree does: a text file's text goes to\n"
     "standard output; for an image, texture or material the companion text\n"
     "(the material, or the texture's .vmt) goes to standard output, and\n"
     "'picture WxH' to standard error, followed for a texture (or a material's)\n"
     "by 'texture WxH FORMAT, N mip levels, flags ...'. A material whose\n"
     "texture is missing or cannot be read prints its text and names the\n"
     "texture and why on standard error (status 1).\n"
     "For a model, its text (a Bloodlines model's material list, a Redemption\n"
     "model's motion file), then one line per mesh (name, triangles, texture\n"
     "slot, twoSided and alpha flags); for a Bloodlines model 'bones N' and\n"
     "one 'animation NAME FRAMES frames FPS fps' line per animation it can\n"
     "play (its own, then those of the model files it includes); one line per\n"
     "texture slot (its size, or 'checkerboard' for a material that could not\n"
     "be loaded), and the camera it is framed with (eye, orientation, and the\n"
     "centre it turns about);\n"
     "for a Redemption model also its skeleton segments and model scale, and the\n"
     "motion file shown ('none found' when there is none). For a sound (.wav,\n"
     ".mp3), 'sound KIND RATEHz CHANNELSch SECONDSs' on standard error, read\n"
     "from its header (KIND wav or mp3), or why it cannot be read (status 1).\n"
     "For a map (.bsp): its version and revision, the lumps that hold data\n"
     "(index, name, offset, length; one that points outside the file is marked\n"
     "so), the files packed into its pakfile lump (size, name) and its entity\n"
     "text. Any other file: a hex view of its first 64 KiB (offset, 16 bytes,\n"
     "the same as ASCII), then how many bytes are not shown.\n",
     {{"-o", "OUT", "write the picture to OUT (replacing it): an 8-bit PNG when OUT ends\n"
                    "in .png, else a 32-bit Targa file", 1},
      {"--hex", nullptr, "show any file as the hex view, whatever its kind", 1}},
     2, 2, "show takes a PACK and an ITEM", Show},
    {"convert", "PACK ITEM IMAGE...", "turn Targa or PNG files into the textures beside ITEM",
     "Drops the Targa or PNG files on ITEM: each NAME.tga or NAME.png (read as\n"
     "PNG when its name ends in .png) becomes the texture pair\n"
     "NAME.tth and NAME.ttz among ITEM's siblings, written as loose files below\n"
     "the data folder, where the game and quillon read them in place of the\n"
     "packed ones. Both files of the pair must be listed beside ITEM; on any\n"
     "failure nothing is written.\n",
     {}, 3, -1, "convert takes a PACK, an ITEM and Targa or PNG files", Convert},
    {"modify", "PACK ITEM FILE...", "write models with the vertex positions of edited .x or glTF files",
     "Drops the edited model files on ITEM, a file of a Bloodlines model: for\n"
     "each NAME.x, NAME.glb or NAME.gltf, the model NAME.mdl among ITEM's\n"
     "siblings is written as a loose file below the data folder, where the game\n"
     "and quillon read it in place of the packed one. It holds every byte of the\n"
     "model named like ITEM, with the vertex positions of the dropped file.\n"
     "A .x is read as 'extract --x' writes it (x, then the model's z, then its\n"
     "y); its vertex count must match the model's. A glTF file (as 'extract\n"
     "--gltf' writes it, edited in Blender and exported with +Y Up) finds the\n"
     "model's vertices through its second texture coordinate set, or else by\n"
     "the order of its triangles; saved under another name, it writes the model\n"
     "its root node names. Only positions change: a glTF file whose topology\n"
     "changed, that holds only part of a mesh, that splits one vertex into\n"
     "copies that went apart, or that reads as Z up is refused with the reason.\n"
     "Packed vertices go back to the nearest step of the model's own box, so an\n"
     "unchanged file gives the model byte for byte; a position outside the box\n"
     "refuses the file. A file that is refused writes nothing, and an existing\n"
     "loose model is kept.\n",
     {}, 3, -1, "modify takes a PACK, an ITEM and .x, .glb or .gltf files", Modify},
}};

}  // namespace

int main(int argc, char** argv) { return RunCommandLine(kProgram, argc, argv); }
