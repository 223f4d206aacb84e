#include "sound/SoundInfo.h"

#include <cstdio>
#include <cstring>

const char* SoundFailureText(SoundFailure failure) {
    switch (failure) {
    case SoundFailure::None: return "no failure";
    case SoundFailure::NotSound: return "neither a RIFF WAVE file nor MPEG audio";
    case SoundFailure::Truncated: return "the header is cut short";
    case SoundFailure::ChunkPastEnd: return "a chunk runs past the end of the file";
    case SoundFailure::NoFormat: return "no fmt chunk";
    case SoundFailure::BadFormat: return "the fmt chunk gives no channels, rate or block size";
    case SoundFailure::NoData: return "no data chunk";
    case SoundFailure::UnknownLength: return "compressed samples of unknown length (no fact chunk)";
    case SoundFailure::TagPastEnd: return "an ID3 tag runs past the end of the file";
    case SoundFailure::NoFrame: return "no MPEG audio frame found";
    case SoundFailure::FreeFormat: return "free-format bit rate";
    case SoundFailure::Unreadable: return "the file cannot be read or is empty";
    }
    return "unknown failure";
}

bool ReadSoundInfo(const uint8_t* data, size_t size, SoundInfo& info) {
    if (size >= 4 && std::memcmp(data, "RIFF", 4) == 0) return ReadWavInfo(data, size, info);
    if (ReadMp3Info(data, size, info)) return true;
    // Something that is neither: say so rather than "no MPEG frame".
    if (info.failure == SoundFailure::NoFrame) info.failure = SoundFailure::NotSound;
    return false;
}

std::string SoundLine(const SoundInfo& info) {
    char line[96];
    std::snprintf(line, sizeof line, "sound %s %uHz %uch %.2fs", info.kind == SoundKind::Wav ? "wav" : "mp3",
                  info.rate, info.channels, info.seconds);
    return line;
}

std::string SoundFailureLine(SoundFailure failure) {
    return std::string("not a sound file Quillon can read: ") + SoundFailureText(failure);
}
