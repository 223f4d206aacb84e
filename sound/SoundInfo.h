// What a sound file's header tells: kind, sample rate, channels and length,
// read without decoding a sample. The games keep voice lines and effects as
// RIFF WAVE files (plain PCM and Microsoft ADPCM among them) and as MPEG
// audio files with or without ID3 tags.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

enum class SoundKind : uint8_t { Wav, Mp3 };

// Why a header could not be read; SoundFailureText gives the words.
enum class SoundFailure : uint8_t {
    None,
    NotSound,          // neither RIFF WAVE nor MPEG audio
    Truncated,         // a header field lies past the end of the data
    ChunkPastEnd,      // a RIFF chunk claims more bytes than the file holds
    NoFormat,          // no fmt chunk
    BadFormat,         // fmt with no channels, no rate or no block size
    NoData,            // no data chunk
    UnknownLength,     // compressed WAV without a fact chunk or a usable byte rate
    TagPastEnd,        // an ID3v2 tag larger than the file
    NoFrame,           // no MPEG frame header where the audio should start
    FreeFormat,        // "free" bit rate: frame sizes cannot be told from headers
    Unreadable,        // the file could not be read, or is empty
};

const char* SoundFailureText(SoundFailure failure);

struct SoundInfo {
    SoundKind kind = SoundKind::Wav;
    uint32_t rate = 0;      // samples per second
    uint32_t channels = 0;
    uint64_t frames = 0;    // samples per channel
    double seconds = 0;

    // WAV: the format tag (1 PCM, 2 Microsoft ADPCM, 0x11 IMA ADPCM, ...)
    // and where the fmt and data chunk bodies lie, so that a player can be
    // handed a file rebuilt from checked parts only.
    uint16_t formatTag = 0;
    uint32_t formatOffset = 0, formatSize = 0;
    uint32_t dataOffset = 0, dataSize = 0;

    // MP3: 1 (MPEG-1), 2 (MPEG-2) or 25 (MPEG-2.5); layer 1 to 3; the first
    // frame's bit rate; whether the length came from a Xing or VBRI header.
    uint8_t mpegVersion = 0, layer = 0;
    uint32_t kbps = 0;
    bool vbrHeader = false;
    uint32_t audioOffset = 0;  // first frame, after any ID3v2 tag

    SoundFailure failure = SoundFailure::None;
};

// The sound selected last: its bytes, kept for a player, and its facts.
// serial changes with every selection of a sound, readable or not, so that a
// player can tell a new selection from the one it is playing.
struct SoundClip {
    std::unique_ptr<uint8_t[]> bytes;
    size_t size = 0;
    SoundInfo info;
    bool readable = false;
    uint32_t serial = 0;
};

// Reads the header of a whole sound file held in memory: "RIFF" files as
// WAV, anything else as MPEG audio. False with info.failure set when it
// cannot; every other field is then unspecified.
bool ReadSoundInfo(const uint8_t* data, size_t size, SoundInfo& info);
bool ReadWavInfo(const uint8_t* data, size_t size, SoundInfo& info);
bool ReadMp3Info(const uint8_t* data, size_t size, SoundInfo& info);

// "sound wav 22050Hz 1ch 1.33s": what the text pane and `quillon show` print.
std::string SoundLine(const SoundInfo& info);
// "not a sound file Quillon can read: REASON".
std::string SoundFailureLine(SoundFailure failure);
