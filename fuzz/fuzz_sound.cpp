// Sound header readers on arbitrary bytes. What they report must be a
// length the input could hold: a WAV's data chunk lies inside it, and an MP3
// without a summary header has no more frames than bytes.
#include "sound/SoundInfo.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    SoundInfo info;
    if (!ReadSoundInfo(data, size, info)) {
        if (info.failure == SoundFailure::None) std::abort();  // a refusal always says why
        return 0;
    }
    if (info.rate == 0 || info.channels == 0 || info.failure != SoundFailure::None) std::abort();
    if (info.kind == SoundKind::Wav) {
        if (uint64_t(info.dataOffset) + info.dataSize > size) std::abort();
        if (uint64_t(info.formatOffset) + info.formatSize > size || info.formatSize < 16) std::abort();
    } else {
        if (info.audioOffset + uint64_t(4) > size) std::abort();
        if (info.frames / 1152 > size) std::abort();  // summaries counting more are not believed
    }
    (void)SoundLine(info);
    return 0;
}
