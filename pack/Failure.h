// Why a file, a view or a pack failed: one value per cause and one table of
// words, so that a cause reads the same on every path. The core records a
// Failure on the record it worked on; each front end decides how to show it
// (a line on stderr, the text pane, a message box).
#pragma once

#include <cstdint>
#include <string>

enum class Reason : uint16_t {
    None,
    // Reading a game file by its path.
    NotFound,
    EmptyFile,
    OutsidePack,
    CannotRead,
    PathTooLong,
    // Opening a pack.
    UnknownPackKind,
    NoPackListed,
    PackTooShortForFooter,
    PackTooShortForHeader,
    PackDirectoryOutside,
    PackFlagged,
    PackEndsBeforeFirstEntry,
    // Output files.
    OutputExists,
    UnsafePath,
    OutputTooLong,
    CannotCreate,
    CannotCreateFolder,
    CannotWrite,
    // Why a picture file cannot be read.
    TargaTooShort,
    TargaKindUnsupported,
    TargaDepthUnsupported,
    TargaColourMapBad,
    PictureNoPixels,
    PictureTooLarge,
    PictureCutShort,
    PngUnreadable,
    NoMemory,
    // A texture a material or a model names.
    TextureNotInGame,
    TextureHalfPair,
    TextureUnreadable,
    MaterialNamesNoTexture,
    MaterialNamesMaterial,
    // What a file holds.
    PictureNotLoaded,
    ModelNotLoaded,
    NotBloodlinesModel,
    NothingToShow,
    NotAMap,
    // Edited .x files dropped on a model.
    DropTargetNotFile,
    NoModelBesideTarget,
    XNoVertexCount,
    VertexCountMismatch,
    XPositionsUnreadable,
    PositionNotStorable,
    // Edited glTF files dropped on a model.
    GltfNotWritable,
};

// The words of a reason, in lower case, without the file they concern.
const char* ReasonWords(Reason reason);

struct Failure {
    Reason reason = Reason::None;
    // The file, item or pack it concerns, as the user named it.
    std::string subject;
    // A reader's own words for the cause, more exact than the reason's
    // (which table of a model lies outside its file, a byte offset); empty
    // when it gave none.
    std::string detail;

    bool Failed() const { return reason != Reason::None; }
    void Clear() { *this = Failure(); }
    // "SUBJECT: DETAIL", or "SUBJECT: WORDS" (the reason's) without one.
    std::string Words() const;
};
