#pragma once

#include <cstdint>

// Playing WAV files by name, with the flags the game uses:
// SND_SYNC plays to the end before returning, SND_ASYNC starts the sound and
// returns at once, replacing a sound already playing, and SND_NOSTOP refuses
// to start while a sound plays. A null name stops the sound that plays.
constexpr std::uint32_t SND_SYNC = 0x0000, SND_ASYNC = 0x0001, SND_NODEFAULT = 0x0002, SND_NOSTOP = 0x0010;

// The program's own module handle, passed with every sound request.
extern void* const HInstance;

// The name is a file path relative to the current directory. A file that is
// missing or cannot be decoded plays nothing, leaves a playing sound alone and
// makes the call return false. Calls come from the user-interface thread only.
bool PlaySoundW(const char16_t* pszSound, void* hmod, std::uint32_t fdwSound);

// The level of every sound started from now on, in percent of the file's own
// (100). At 0 sounds still take their time, silently, so that a request that
// waits for its sound to end waits as long. Values are clamped to 0..100.
void SetSoundVolume(int percent);
int SoundVolume();

// True while sound output from a request is still pending.
bool SoundIsPlaying();

// Closes the audio device; the next request opens it again.
void ShutdownSound();
