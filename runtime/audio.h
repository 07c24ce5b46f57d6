// Music playback: the operations the program uses on its one music stream.
// The MP3 is decoded with libmpg123 and played through SDL 1.2 audio. The
// position is what is being heard; it grows smoothly between audio callbacks,
// never goes backwards and never passes the end of the track.
#pragma once
#include <cstdint>

using MusicStream = uint32_t;  // 0: no stream

// Opens the default output (device -1) at the given rate. Returns true when
// playback is available; without an audio device it reports one line and
// falls back to a silent output whose position runs on a monotonic clock.
bool AudioInit(int device, int frequency);
// Lets output run.
bool AudioStart();
// Releases a stream (0 is allowed and does nothing).
void AudioStreamFree(MusicStream stream);
// Decodes a whole MP3 file into a stream that is not yet playing (its
// position reads 0). Returns 0 when the file cannot be opened or decoded.
MusicStream AudioStreamCreateFile(const char* path);
// Starts playback (from where it stands; restart true goes back to 0).
bool AudioChannelPlay(MusicStream stream, bool restart);
// Playback position in bytes of 16-bit stereo at the stream's rate.
uint64_t AudioChannelGetPosition(MusicStream stream);
// Byte position to seconds.
double AudioChannelBytes2Seconds(MusicStream stream, uint64_t bytes);
