#include "app/SoundPlayer.h"

#include <mmsystem.h>

#include <cstring>

namespace {

void Put16(std::vector<uint8_t>& out, uint32_t v) {
    out.push_back(uint8_t(v));
    out.push_back(uint8_t(v >> 8));
}
void Put32(std::vector<uint8_t>& out, uint32_t v) {
    Put16(out, v & 0xFFFF);
    Put16(out, v >> 16);
}
void PutTag(std::vector<uint8_t>& out, const char* tag) { out.insert(out.end(), tag, tag + 4); }

// RIFF, WAVE, the fmt body given, then the audio bytes as the data chunk.
std::vector<uint8_t> Wrap(const std::vector<uint8_t>& format, const uint8_t* data, size_t size) {
    std::vector<uint8_t> out;
    if (size > 0x7FFFFFF0u - format.size()) return out;
    out.reserve(28 + format.size() + size);
    PutTag(out, "RIFF");
    Put32(out, uint32_t(4 + 8 + format.size() + (format.size() & 1) + 8 + size));
    PutTag(out, "WAVE");
    PutTag(out, "fmt ");
    Put32(out, uint32_t(format.size()));
    out.insert(out.end(), format.begin(), format.end());
    if (format.size() & 1) out.push_back(0);
    PutTag(out, "data");
    Put32(out, uint32_t(size));
    out.insert(out.end(), data, data + size);
    return out;
}

// MPEGLAYER3WAVEFORMAT: WAVEFORMATEX with tag 0x55, then the MPEG-1/2 id,
// padding flags (ISO: as each frame says), the block size of one frame at
// the first frame's bit rate, frames per block and the decoder delay.
std::vector<uint8_t> Mp3Format(const SoundInfo& info) {
    std::vector<uint8_t> f;
    uint32_t samplesPerFrame = info.layer == 1 ? 384 : (info.layer == 3 && info.mpegVersion != 1) ? 576 : 1152;
    Put16(f, 0x55);
    Put16(f, info.channels);
    Put32(f, info.rate);
    Put32(f, info.kbps * 125);
    Put16(f, 1);
    Put16(f, 0);
    Put16(f, 12);
    Put16(f, 1);  // MPEGLAYER3_ID_MPEG
    Put32(f, 0);  // MPEGLAYER3_FLAG_PADDING_ISO
    Put16(f, uint16_t(samplesPerFrame / 8 * 1000 * info.kbps / info.rate));
    Put16(f, 1);
    Put16(f, 1393);
    return f;
}

}  // namespace

std::vector<uint8_t> PlayableWave(const SoundClip& clip) {
    const SoundInfo& info = clip.info;
    if (!clip.readable || !clip.bytes) return {};
    if (info.kind == SoundKind::Mp3) {
        if (info.layer != 3 || info.kbps == 0 || info.audioOffset >= clip.size) return {};
        return Wrap(Mp3Format(info), clip.bytes.get() + info.audioOffset, clip.size - info.audioOffset);
    }
    // The reader checked that both chunks lie inside the file.
    const uint8_t* b = clip.bytes.get();
    std::vector<uint8_t> format(b + info.formatOffset, b + info.formatOffset + info.formatSize);
    return Wrap(format, b + info.dataOffset, info.dataSize);
}

bool SoundPlayer::Play(const SoundClip& clip) {
    Stop();
    wave = PlayableWave(clip);
    if (wave.empty()) return false;
    // SND_NODEFAULT: a sound that cannot be played stays silent instead of
    // the system's default beep.
    UINT flags = SND_MEMORY | SND_ASYNC | SND_NODEFAULT;
    if (!PlaySoundA(reinterpret_cast<LPCSTR>(wave.data()), nullptr, flags)) {
        wave.clear();
        return false;
    }
    serial = clip.serial;
    startTick = GetTickCount();
    lengthMs = DWORD(clip.info.seconds * 1000 + 0.5);
    return true;
}

void SoundPlayer::Stop() {
    if (!wave.empty()) PlaySoundA(nullptr, nullptr, 0);
    wave.clear();
    serial = 0;
}

bool SoundPlayer::Playing() const { return serial != 0 && GetTickCount() - startTick < lengthMs; }
