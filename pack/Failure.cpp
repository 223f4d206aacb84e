#include "pack/Failure.h"

const char* ReasonWords(Reason reason) {
    switch (reason) {
    case Reason::None: return "no failure";
    case Reason::NotFound: return "not found";
    case Reason::EmptyFile: return "empty file";
    case Reason::OutsidePack: return "damaged: its bytes lie outside its pack";
    case Reason::CannotRead: return "cannot read";
    case Reason::PathTooLong: return "path inside the pack too long";
    case Reason::UnknownPackKind: return "not a pack (the name must end in .nob or .vpk)";
    case Reason::NoPackListed: return "no pack of its folder could be listed and indexed";
    case Reason::PackTooShortForFooter: return "not a pack: too short for a pack footer";
    case Reason::PackTooShortForHeader: return "not a pack: too short for its first entry header";
    case Reason::PackDirectoryOutside: return "not a pack: its directory lies outside the file";
    case Reason::PackFlagged: return "not a pack that can be read: its footer flag is set";
    case Reason::PackEndsBeforeFirstEntry: return "not a pack: its entries end before the first one";
    case Reason::OutputExists: return "exists, kept";
    case Reason::UnsafePath: return "unsafe path inside the pack, not written";
    case Reason::OutputTooLong: return "output path too long";
    case Reason::CannotCreate: return "cannot create the output file";
    case Reason::CannotCreateFolder: return "cannot create the output folder";
    case Reason::CannotWrite: return "cannot write the output file";
    case Reason::TargaTooShort: return "not a Targa picture: shorter than its 18-byte header";
    case Reason::TargaKindUnsupported:
        return "a kind of Targa picture Quillon cannot read (it reads image types 1, 2, 3, 9, 10 and 11, not interleaved)";
    case Reason::TargaDepthUnsupported: return "a Targa picture with a pixel depth its image type does not have";
    case Reason::TargaColourMapBad: return "a colour-mapped Targa picture without a usable colour map";
    case Reason::PictureNoPixels: return "a picture with a side of 0 pixels";
    case Reason::PictureTooLarge: return "a picture of more than 16384 x 16384 pixels";
    case Reason::PictureCutShort: return "the file ends before its pixels do";
    case Reason::PngUnreadable:
        return "not a PNG picture Quillon can read (damaged, cut short, or of more than 16384 x 16384 pixels)";
    case Reason::NoMemory: return "not enough memory";
    case Reason::TextureNotInGame: return "not in the packs or the data folder";
    case Reason::TextureHalfPair: return "its .tth is there, its .ttz is not in the packs or the data folder";
    case Reason::TextureUnreadable: return "damaged or of a format Quillon cannot show";
    case Reason::MaterialNamesNoTexture: return "the material names no texture";
    case Reason::MaterialNamesMaterial: return "a material, where a texture belongs";
    case Reason::PictureNotLoaded: return "the picture cannot be read (missing, damaged or of an unsupported format)";
    case Reason::ModelNotLoaded: return "cannot load the model";
    case Reason::NotBloodlinesModel: return "only Bloodlines models can be exported as .x";
    case Reason::NothingToShow: return "nothing to show for this kind of file";
    case Reason::NotAMap: return "not a map (no VBSP header): its bytes follow";
    case Reason::DropTargetNotFile: return "the drop target is not a file of the pack";
    case Reason::NoModelBesideTarget: return "no model file (.mdl) beside the drop target";
    case Reason::XNoVertexCount: return "the .x file has no vertex count";
    case Reason::VertexCountMismatch: return "the vertex count does not match the original file";
    case Reason::XPositionsUnreadable: return "the .x file's vertex positions cannot be read";
    case Reason::PositionNotStorable: return "a vertex position cannot be stored in the model";
    case Reason::GltfNotWritable: return "the glTF file cannot be written back into the model";
    }
    return "failed";
}

std::string Failure::Words() const { return subject + ": " + (detail.empty() ? ReasonWords(reason) : detail); }
