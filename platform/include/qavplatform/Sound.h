// Sound for the notifications: a sound file played in the background by an
// external player, the first of `paplay` (PulseAudio), `aplay` (ALSA) and
// `pw-play` (PipeWire) found on PATH. The call never waits for the sound.
#pragma once

#include <string>

namespace qavplatform {

// The player that PlaySoundFile would use (full path), or empty.
std::string FindSoundPlayer();

// Starts playing the file. False, at once, when the file does not exist, no
// player is installed or the player cannot be started; the reason goes to
// `error`. A new sound does not stop one that is still playing.
bool PlaySoundFile(const std::string& path, std::string* error = nullptr);

} // namespace qavplatform
