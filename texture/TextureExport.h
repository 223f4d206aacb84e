// Pictures out of and into the packs: every image, texture or material of a
// subtree exported as a Targa or PNG file, and Targa or PNG files dropped on a texture
// turned into a loose game texture pair that replaces the packed one.
#pragma once

#include "pack/FileIndex.h"
#include "pack/OutputFile.h"
#include "pack/PackTree.h"
#include "pack/Seams.h"

// Exports the picture key names as NAME.tga (the name cut at its first '.')
// below the output folder. An existing output file is left alone and counted
// as skipped; a picture that cannot be loaded leaves no file and counts as
// failed. True unless a file failed.
bool ExportTextureAsTga(const ExportJob& job, FileEntry& key);
// The same as an 8-bit PNG file NAME.png (RGB when the picture is opaque).
bool ExportTextureAsPng(const ExportJob& job, FileEntry& key);

// Encodes the picture file at path (PNG when its name ends in .png, else
// Targa) as the texture pair NAME.tth / NAME.ttz of
// the siblings of item, written beside the packs where every reader finds
// them first; then selects the .ttz item. Both siblings must exist and both
// files are written completely before either replaces anything: on any
// failure nothing changes on disk. A failure shows "File Not Found In Current
// Directory." (or the encoder's message) through job.message and gives
// false; a picture file that is there but cannot be read shows its name and
// why, captioned "Error!". The progress window shows the texture's name.
bool ConvertTgaToTexture(const DropJob& job, TreeItem item, const char* path);
