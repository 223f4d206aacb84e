// Plays the selected sound once through the system's wave player. WAV files
// play as they are (PCM, and ADPCM through the system's codecs); MP3 audio is
// wrapped in a WAV of format MPEG Layer-3, which the system's codec manager
// decodes, so nothing beyond what Windows ships is needed.
//
// The player is handed a WAV rebuilt from the parts the header reader
// checked (fmt and data chunks that lie inside the file), never the file's
// own chunk sizes, which the system would trust.
#pragma once

#include "sound/SoundInfo.h"

#include <windows.h>

#include <cstdint>
#include <vector>

// What the system is handed: a whole RIFF WAVE file in memory. Empty when
// the clip cannot be played.
std::vector<uint8_t> PlayableWave(const SoundClip& clip);

struct SoundPlayer {
    // Starts clip, stopping what plays. False when the system refused it (no
    // audio device, no codec): the caller shows the facts all the same and
    // tells nothing more, as a silent machine is no error of the file's.
    bool Play(const SoundClip& clip);
    void Stop();
    // Whether the sound started last should still be audible.
    bool Playing() const;

    uint32_t serial = 0;  // the clip's serial while it plays, else 0

private:
    std::vector<uint8_t> wave;  // kept alive while the system reads it
    DWORD startTick = 0;
    DWORD lengthMs = 0;
};
