// RIFF WAVE headers.
//
//   offset  size  field
//   0       4     "RIFF"
//   4       4     RIFF size (often wrong in the wild; the file size is used)
//   8       4     "WAVE"
//   12      ...   chunks: id (4), body size (4), body, a pad byte after an
//                 odd-sized body
//
// fmt body: format tag (2), channels (2), sample rate (4), average bytes per
// second (4), block align (2), bits per sample (2), then for compressed
// formats an extra size (2) and extra bytes; Microsoft and IMA ADPCM put the
// samples per block first among them. WAVE_FORMAT_EXTENSIBLE (0xFFFE) keeps
// the real tag in the first two bytes of its sub-format GUID at body offset 24.
// fact body: the number of samples per channel (4).
#include "sound/SoundInfo.h"

#include "sound/SoundBytes.h"

namespace {

const uint16_t kTagPcm = 1, kTagMsAdpcm = 2, kTagFloat = 3, kTagALaw = 6, kTagMuLaw = 7, kTagImaAdpcm = 0x11;
const uint16_t kTagExtensible = 0xFFFE;

struct Chunks {
    bool haveFormat = false, haveData = false, haveFact = false;
    uint32_t fact = 0;
};

bool ReadFormat(const SoundBytes& b, uint32_t pos, uint32_t size, SoundInfo& info) {
    if (size < 16) return SoundFail(info, SoundFailure::BadFormat);
    info.formatTag = b.LE16(pos);
    info.channels = b.LE16(pos + 2);
    info.rate = b.LE32(pos + 4);
    if (info.formatTag == kTagExtensible && size >= 26) info.formatTag = b.LE16(pos + 24);
    if (info.channels == 0 || info.rate == 0 || b.LE16(pos + 12) == 0) return SoundFail(info, SoundFailure::BadFormat);
    info.formatOffset = pos;
    info.formatSize = size;
    return true;
}

// Walks the chunks after "WAVE". A chunk that runs past the end of the file
// is refused while fmt or data is still missing; after both, the rest is
// trailing matter nobody plays, and the walk stops.
bool WalkChunks(const SoundBytes& b, SoundInfo& info, Chunks& found) {
    uint64_t pos = 12;
    while (b.Has(pos, 8)) {
        uint32_t size = b.LE32(pos + 4);
        uint64_t body = pos + 8;
        if (!b.Has(body, size)) {
            if (found.haveFormat && found.haveData) break;
            return SoundFail(info, SoundFailure::ChunkPastEnd);
        }
        if (b.Is(pos, "fmt ") && !found.haveFormat) {
            if (!ReadFormat(b, uint32_t(body), size, info)) return false;
            found.haveFormat = true;
        } else if (b.Is(pos, "data") && !found.haveData) {
            info.dataOffset = uint32_t(body);
            info.dataSize = size;
            found.haveData = true;
        } else if (b.Is(pos, "fact") && size >= 4 && !found.haveFact) {
            found.fact = b.LE32(body);
            found.haveFact = true;
        }
        pos = body + size + (size & 1);
    }
    if (!found.haveFormat) return SoundFail(info, SoundFailure::NoFormat);
    if (!found.haveData) return SoundFail(info, SoundFailure::NoData);
    return true;
}

bool IsPlainSamples(uint16_t tag) {
    return tag == kTagPcm || tag == kTagFloat || tag == kTagALaw || tag == kTagMuLaw;
}

// Samples per channel in the data chunk. Plain samples are counted from the
// block size; compressed data by its fact chunk (the last ADPCM block is
// usually only partly used, so counting blocks overstates the length), else
// by whole ADPCM blocks, else by the average byte rate.
bool CountFrames(const SoundBytes& b, const Chunks& found, SoundInfo& info) {
    uint32_t blockAlign = b.LE16(info.formatOffset + 12);
    if (IsPlainSamples(info.formatTag)) {
        info.frames = info.dataSize / blockAlign;
        return true;
    }
    if (found.haveFact) {
        info.frames = found.fact;
        return true;
    }
    bool adpcm = info.formatTag == kTagMsAdpcm || info.formatTag == kTagImaAdpcm;
    if (adpcm && info.formatSize >= 20 && b.LE16(info.formatOffset + 18) != 0) {
        uint64_t perBlock = b.LE16(info.formatOffset + 18);
        info.frames = uint64_t(info.dataSize) / blockAlign * perBlock +
                      uint64_t(info.dataSize) % blockAlign * perBlock / blockAlign;
        return true;
    }
    uint32_t bytesPerSecond = b.LE32(info.formatOffset + 8);
    if (bytesPerSecond == 0) return SoundFail(info, SoundFailure::UnknownLength);
    info.frames = uint64_t(info.dataSize) * info.rate / bytesPerSecond;
    return true;
}

}  // namespace

bool ReadWavInfo(const uint8_t* data, size_t size, SoundInfo& info) {
    info = SoundInfo{};
    info.kind = SoundKind::Wav;
    SoundBytes b{data, size};
    if (size > 0xFFFFFFFFu) return SoundFail(info, SoundFailure::NotSound);  // RIFF sizes are 32-bit
    if (!b.Is(0, "RIFF") || !b.Has(0, 12)) return SoundFail(info, b.Is(0, "RIFF") ? SoundFailure::Truncated : SoundFailure::NotSound);
    if (!b.Is(8, "WAVE")) return SoundFail(info, SoundFailure::NotSound);
    Chunks found;
    if (!WalkChunks(b, info, found) || !CountFrames(b, found, info)) return false;
    info.seconds = double(info.frames) / info.rate;
    return true;
}
