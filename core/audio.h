// Music playback: the operations the program uses on its one music stream.
// The MP3 is decoded with libmpg123 and played through SDL 1.2 audio. The
// position is what is being heard; it grows smoothly between audio callbacks,
// never goes backwards and never passes the end of the track.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

using MusicStream = uint32_t;  // 0: no stream

// The music file, relative to the run directory.
constexpr const char* kMusicFile = "q-lune - selvara (kelvane edit).mp3";
// The show's music: 0 until OpenMusic has decoded it.
extern MusicStream musicStream;

// Opens the output (AudioInit at 44.1 kHz, then AudioStart) and decodes
// kMusicFile into musicStream, replacing any earlier stream. Returns false,
// leaving musicStream as it was, when the audio library does not start; a
// file that does not decode leaves musicStream 0 (the decoder says why).
bool OpenMusic();

// Opens the default output (device -1) at the given rate. Returns true when
// playback is available; without an audio device it reports one line and
// falls back to a silent output whose position runs on a monotonic clock.
bool AudioInit(int device, int frequency);
// Lets output run.
bool AudioStart();
// Releases a stream (0 is allowed and does nothing).
void AudioStreamFree(MusicStream stream);
// Decodes a whole MP3 file into a stream that is not yet playing (its
// position reads 0); reuses AudioCheckFile's decoding of the same file.
// Returns 0 when the file cannot be opened or decoded. A file that decodes
// shorter than its header says is reported and padded with silence to that
// length, so the clock still runs to the end.
MusicStream AudioStreamCreateFile(const char* path);
// Starts playback (from where it stands; restart true goes back to 0).
bool AudioChannelPlay(MusicStream stream, bool restart);
// Playback position in bytes of 16-bit stereo at the stream's rate.
uint64_t AudioChannelGetPosition(MusicStream stream);
// Byte position to seconds.
double AudioChannelBytes2Seconds(MusicStream stream, uint64_t bytes);

// Checks, before any window opens, that the file exists and decodes as MP3
// to the length its header gives (a file cut short fails). On failure
// `error` (if given) gets a one-line message naming the file.
bool AudioCheckFile(const char* path, std::string* error);
// The length in seconds of the file AudioCheckFile last decoded (the
// decoding waits there for the stream); below 0 for another file or none.
double AudioCheckedSeconds(const char* path);
// Closes the output and stops its thread; AudioInit registers it to run at
// exit, before static objects (and the decoded music) are destroyed.
void AudioShutdown();

// Where the first play of a stream begins, in seconds of music (default 0).
void AudioSetStartSeconds(double seconds);
// The whole decoded track of a stream: interleaved 16-bit stereo at the
// stream's rate. The pointer stays valid until the stream is freed.
bool AudioStreamPcm(MusicStream stream, const int16_t** samples, size_t* frames);
// Sample frames per second of a stream (0 for no stream).
int AudioStreamRate(MusicStream stream);

// The capture tool's clock. After AudioUseVirtualClock no output is opened by
// AudioInit, and a playing stream's position is exactly the virtual position:
// the start position when AudioChannelPlay is called, then whatever is set or
// added, capped at the track length (before play it reads 0). TickCountMs
// switches to its virtual clock at the same moment.
void AudioUseVirtualClock();
// Sets the virtual music position in seconds.
void AudioSetVirtualPosition(double seconds);
// Moves the virtual music position and the virtual ticks on by `seconds`.
void AudioAdvanceVirtualClock(double seconds);
// Ends the virtual clock: the output opens as OpenMusic opens it (the device,
// or the silent clock without one), a playing stream goes on from the
// virtual position, paused or not as it was, and the ticks run on the wall
// clock from where the virtual ticks stood. False when the virtual clock was
// not in use.
bool AudioLeaveVirtualClock();
// What a stream's position reads on the virtual clock at `seconds`: the
// nearest sample frame, within the track, in seconds.
double AudioVirtualReading(MusicStream stream, double seconds);

// ---- Pause, resume and set-position (rehearsal) ----
// They work alike on the SDL device, the silent output and the virtual clock.

// Holds a playing stream where it is heard now: its position stays there and
// no sound goes out until it resumes. False for no stream or one not started.
bool AudioChannelPause(MusicStream stream);
// Plays a paused stream on from where it was held (a playing one goes on).
bool AudioChannelResume(MusicStream stream);
// Moves a stream to `seconds` of its track (clamped to the track): the
// position reads the nearest sample frame right after; a paused stream stays
// paused there, a playing one plays on from there, and one not yet started
// starts there when it is played. False for no stream.
bool AudioChannelSetPosition(MusicStream stream, double seconds);
// Whether a stream is playing but paused.
bool AudioChannelPaused(MusicStream stream);
// The length of a stream's track in seconds (0 for no stream).
double AudioStreamSeconds(MusicStream stream);
