// MPEG audio headers (layers I to III; MPEG-1, MPEG-2 and MPEG-2.5).
//
// An ID3v2 tag may come first: "ID3", version (2), flags (1), size (4, seven
// bits per byte), then the tag body; flag 0x10 adds a 10-byte footer.
//
// Each frame starts with a 32-bit big-endian header:
//   bits 31-21 sync (all set)   20-19 version (3: MPEG-1, 2: MPEG-2, 0: 2.5)
//   18-17 layer (3: I, 2: II, 1: III)   16 no CRC   15-12 bit rate index
//   11-10 sample rate index   9 padding   7-6 channel mode (3: mono)
//
// Variable bit rate files may carry a summary in their first frame, right
// after the side information: "Xing" or "Info", big-endian flags, and with
// flag 1 the frame count; or, 32 bytes after the header, "VBRI" with the
// frame count at offset 14. Without one, the frames are walked and counted.
#include "sound/SoundInfo.h"

#include "sound/SoundBytes.h"

namespace {

struct FrameHeader {
    uint8_t version = 0;  // 1, 2 or 25
    uint8_t layer = 0;
    bool crc = false;
    bool mono = false;
    uint32_t kbps = 0;    // 0: free format
    uint32_t rate = 0;
    uint32_t length = 0;  // bytes, header included
    uint32_t samples = 0; // per channel
};

const uint16_t kBitRates[5][15] = {
    {0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448},  // MPEG-1 layer I
    {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384},     // MPEG-1 layer II
    {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320},      // MPEG-1 layer III
    {0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256},     // MPEG-2/2.5 layer I
    {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160},          // MPEG-2/2.5 layers II, III
};
const uint32_t kRates[3] = {44100, 48000, 32000};  // MPEG-1; halved for 2, quartered for 2.5

// Decodes the header at pos. False for anything that cannot start a frame:
// no sync, reserved version, layer, bit rate or sample rate.
bool ParseFrameHeader(const SoundBytes& b, uint64_t pos, FrameHeader& h) {
    if (!b.Has(pos, 4)) return false;
    uint32_t word = b.BE32(pos);
    uint32_t versionBits = word >> 19 & 3, layerBits = word >> 17 & 3;
    uint32_t rateIndex = word >> 12 & 15, sampleIndex = word >> 10 & 3;
    if ((word >> 21) != 0x7FF || versionBits == 1 || layerBits == 0 || rateIndex == 15 || sampleIndex == 3)
        return false;
    h.version = versionBits == 3 ? 1 : versionBits == 2 ? 2 : 25;
    h.layer = uint8_t(4 - layerBits);
    h.crc = (word >> 16 & 1) == 0;
    h.mono = (word >> 6 & 3) == 3;
    h.rate = kRates[sampleIndex] >> (h.version == 1 ? 0 : h.version == 2 ? 1 : 2);
    int table = h.version == 1 ? h.layer - 1 : (h.layer == 1 ? 3 : 4);
    h.kbps = kBitRates[table][rateIndex];
    uint32_t padding = word >> 9 & 1;
    bool lowRate = h.version != 1;
    h.samples = h.layer == 1 ? 384 : (h.layer == 3 && lowRate) ? 576 : 1152;
    if (h.layer == 1) h.length = (12000 * h.kbps / h.rate + padding) * 4;
    else h.length = h.samples / 8 * 1000 * h.kbps / h.rate + padding;
    return true;
}

// Frames of one stream share version, layer and sample rate.
bool SameStream(const FrameHeader& a, const FrameHeader& b) {
    return a.version == b.version && a.layer == b.layer && a.rate == b.rate;
}

// Skips any ID3v2 tags; false when one claims more bytes than there are.
bool SkipId3(const SoundBytes& b, uint64_t& pos, SoundInfo& info) {
    while (b.Is(pos, "ID3")) {
        if (!b.Has(pos, 10)) return SoundFail(info, SoundFailure::Truncated);
        uint64_t body = 0;
        for (int i = 6; i < 10; ++i) body = body << 7 | (b.data[pos + i] & 0x7F);
        uint64_t total = 10 + body + ((b.data[pos + 5] & 0x10) ? 10 : 0);
        if (!b.Has(pos, total)) return SoundFail(info, SoundFailure::TagPastEnd);
        pos += total;
    }
    return true;
}

// A header is taken as the first frame when the frame after it continues
// the same stream, or when nothing but an ID3v1 tag or a few stray bytes
// follows it. One lone header-like word inside other data is not enough.
bool PlausibleFirstFrame(const SoundBytes& b, uint64_t pos, FrameHeader& h) {
    if (!ParseFrameHeader(b, pos, h) || h.kbps == 0) return false;
    uint64_t next = pos + h.length;
    FrameHeader after;
    if (ParseFrameHeader(b, next, after)) return SameStream(h, after);
    return b.Has(pos, h.length) && (!b.Has(next, 4) || (b.Is(next, "TAG") && !b.Has(next, 129)));
}

// The first frame at or after pos, searching forward past junk or padding.
// A free-format header right where the audio should start is named as such:
// its frames have no length in their headers, so nothing can be counted.
bool FindFirstFrame(const SoundBytes& b, uint64_t& pos, FrameHeader& h, SoundInfo& info) {
    if (ParseFrameHeader(b, pos, h) && h.kbps == 0) return SoundFail(info, SoundFailure::FreeFormat);
    for (; b.Has(pos, 4); ++pos)
        if (b.data[pos] == 0xFF && PlausibleFirstFrame(b, pos, h)) return true;
    return SoundFail(info, SoundFailure::NoFrame);
}

// Where a Xing/Info summary would start in a frame at pos.
uint64_t XingOffset(uint64_t pos, const FrameHeader& h) {
    uint64_t side = h.version == 1 ? (h.mono ? 17 : 32) : (h.mono ? 9 : 17);
    return pos + 4 + (h.crc ? 2 : 0) + side;
}

bool HasXing(const SoundBytes& b, uint64_t pos, const FrameHeader& h) {
    return b.Is(XingOffset(pos, h), "Xing") || b.Is(XingOffset(pos, h), "Info");
}

// The frame count from a Xing/Info or VBRI header in the first frame; 0 when
// there is none or it gives no count.
uint32_t VbrFrameCount(const SoundBytes& b, uint64_t pos, const FrameHeader& h) {
    uint64_t xing = XingOffset(pos, h);
    if (HasXing(b, pos, h) && b.Has(xing, 12) && (b.BE32(xing + 4) & 1)) return b.BE32(xing + 8);
    uint64_t vbri = pos + 4 + 32;
    if (b.Is(vbri, "VBRI") && b.Has(vbri, 18)) return b.BE32(vbri + 14);
    return 0;
}

// Counts the whole frames of the stream from pos. Where a header does not
// follow a frame (damage, or a trailing tag), the count resumes at the next
// header of the same stream, if any.
uint64_t CountFrames(const SoundBytes& b, uint64_t pos, const FrameHeader& first) {
    uint64_t frames = 0;
    FrameHeader h;
    while (b.Has(pos, 4)) {
        if (ParseFrameHeader(b, pos, h) && SameStream(first, h) && h.kbps != 0) {
            if (!b.Has(pos, h.length)) break;  // a cut-off last frame does not play whole
            ++frames;
            pos += h.length;
        } else {
            ++pos;
        }
    }
    return frames;
}

}  // namespace

bool ReadMp3Info(const uint8_t* data, size_t size, SoundInfo& info) {
    info = SoundInfo{};
    info.kind = SoundKind::Mp3;
    SoundBytes b{data, size};
    uint64_t pos = 0;
    FrameHeader first;
    if (!SkipId3(b, pos, info) || !FindFirstFrame(b, pos, first, info)) return false;
    info.audioOffset = uint32_t(pos > 0xFFFFFFFFu ? 0xFFFFFFFFu : pos);
    info.mpegVersion = first.version;
    info.layer = first.layer;
    info.kbps = first.kbps;
    info.rate = first.rate;
    info.channels = first.mono ? 1 : 2;
    // A count larger than the bytes that follow cannot be true (every frame
    // takes dozens of bytes): such a summary is ignored and the frames walked.
    uint64_t frames = VbrFrameCount(b, pos, first);
    if (frames > size - pos) frames = 0;
    info.vbrHeader = frames != 0;
    // A summary frame holds no audio; a walk must not count it either.
    if (!info.vbrHeader) frames = CountFrames(b, HasXing(b, pos, first) ? pos + first.length : pos, first);
    info.frames = frames * first.samples;
    info.seconds = double(info.frames) / info.rate;
    return true;
}
