#include "core/audio.h"

#include <SDL/SDL.h>
#include <mpg123.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <vector>

#include "core/file_open.h"
#include "core/music_clock.h"
#include "core/ticks.h"

namespace {

// Where the sound goes: nowhere yet, a silent output whose position runs on
// the monotonic clock, the SDL audio device, or the capture tool's clock.
enum class Output { None, Silent, Device, Virtual };

constexpr int kBytesPerFrame = 4;     // 16-bit stereo
constexpr int kDeviceBufferFrames = 1024;

// One decoded track and its playback state.
struct Stream {
  std::vector<int16_t> pcm;  // interleaved stereo
  uint64_t frames = 0;
  int rate = 44100;
  uint64_t cursor = 0;       // next frame handed to the output
  bool playing = false;
  bool playedBefore = false;
  bool paused = false;       // playing, but held at pausedFrame
  uint64_t pausedFrame = 0;
  MusicClock clock;
};

// The audio callback runs on SDL's thread; everything below that it touches
// is guarded by audioMutex. The statics are constructed before main, so the
// exit handler registered by AudioInit runs before they are destroyed.
std::mutex audioMutex;
std::vector<std::unique_ptr<Stream>> streams;  // handle = index + 1
Output output = Output::None;
int outputRate = 44100;
int deviceBufferFrames = kDeviceBufferFrames;
bool sdlAudioOwned = false;     // we initialised SDL's audio subsystem
bool exitHandlerSet = false;
double startSeconds = 0.0;
double virtualSeconds = 0.0;

const std::chrono::steady_clock::time_point clockEpoch = std::chrono::steady_clock::now();

// Seconds on the monotonic clock.
double NowSeconds() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - clockEpoch).count();
}

// The stream of a handle, or null. Caller holds audioMutex.
Stream* FindStream(MusicStream handle) {
  if (handle == 0 || handle > streams.size()) return nullptr;
  return streams[handle - 1].get();
}

// Track frame nearest to a time in seconds, within the track.
uint64_t FrameAt(const Stream& stream, double seconds) {
  if (!(seconds > 0.0)) return 0;
  long long frame = std::llround(seconds * stream.rate);
  return std::min(static_cast<uint64_t>(frame), stream.frames);
}

// SDL audio callback: mixes the playing streams into the buffer and tells
// each one's clock which frames went out when.
void FillOutput(void*, Uint8* buffer, int length) {
  double now = NowSeconds();
  std::memset(buffer, 0, length);
  int16_t* out = reinterpret_cast<int16_t*>(buffer);
  uint64_t frames = static_cast<uint64_t>(length) / kBytesPerFrame;
  std::lock_guard<std::mutex> lock(audioMutex);
  for (auto& stream : streams) {
    if (!stream || !stream->playing || stream->paused) continue;
    uint64_t start = stream->cursor;
    uint64_t count = std::min(frames, stream->frames - start);
    const int16_t* in = stream->pcm.data() + start * 2;
    for (uint64_t i = 0; i < count * 2; ++i)
      out[i] = static_cast<int16_t>(std::clamp(out[i] + in[i], -32768, 32767));
    stream->cursor += count;
    ClockOnOutput(stream->clock, now, start, frames);
  }
}

// Slack between the length a file's header gives and what decodes: the
// decoder may give up to a frame less at the end.
constexpr double kLengthSlackSeconds = 0.1;

// A whole decoded file, kept between the start-up check and the stream that
// plays it, so that the music is decoded once.
struct DecodedFile {
  std::string path;
  long rate = 0;
  std::vector<int16_t> pcm;
};
DecodedFile checkedFile;

// What one decode found.
struct Decoding {
  std::vector<int16_t> pcm;      // interleaved stereo at the asked rate
  double headerSeconds = -1;     // the length the file's Info tag gives; below 0: none
  double decodedSeconds = 0;
  bool stoppedEarly = false;     // a decoding error ended it before the end of the file
  std::string stopReason;
};

// Decodes an MP3 file to interleaved 16-bit stereo at `rate`. False (with
// `error` naming the file) when nothing usable decodes; a file that decodes
// only in part returns true and says so in `result`.
bool DecodeMp3(const char* path, long rate, Decoding* result,
               std::string* error) {
  auto fail = [&](const std::string& what) {
    if (error) *error = std::string("music file '") + path + "': " + what;
    return false;
  };
  // Opened here, without blocking, so that a pipe or device in the file's
  // place is refused instead of waited on; the decoder reads the descriptor.
  std::string why;
  const int fd = OpenRegularForReading(path, &why);
  if (fd < 0) return fail("cannot open (" + why + ")");
  // Closed after the decoder below lets go of it (declared first).
  struct Closer {
    int fd;
    ~Closer() { close(fd); }
  } closer{fd};

  static std::once_flag initOnce;
  std::call_once(initOnce, [] { mpg123_init(); });
  int err = MPG123_OK;
  mpg123_handle* handle = mpg123_new(nullptr, &err);
  if (!handle) return fail(std::string("cannot start the MP3 decoder (") +
                           mpg123_plain_strerror(err) + ")");
  std::unique_ptr<mpg123_handle, void (*)(mpg123_handle*)> owner(handle, [](mpg123_handle* h) {
    mpg123_close(h);
    mpg123_delete(h);
  });
  mpg123_param(handle, MPG123_ADD_FLAGS, MPG123_QUIET, 0);
  // One output format only: the decoder resamples and duplicates mono to fit.
  mpg123_format_none(handle);
  if (mpg123_format(handle, rate, MPG123_STEREO, MPG123_ENC_SIGNED_16) != MPG123_OK)
    return fail(std::string("cannot decode at ") + std::to_string(rate) + " Hz");
  if (mpg123_open_fd(handle, fd) != MPG123_OK)
    return fail(std::string("cannot open as MP3 (") + mpg123_strerror(handle) + ")");
  // The length the encoder wrote into the file's Info tag, in output
  // samples. Without that tag the decoder only estimates from the file size,
  // which a cut file shrinks with, so there is nothing to compare. Asked
  // before decoding (at the end of the data the decoder replaces it with
  // what it found), and before the tag's state: asking reads the first
  // frame, which holds the tag.
  const off_t headerSamples = mpg123_length(handle);
  long encoderDelay = -1;
  double unused = 0;
  const bool tagged = mpg123_getstate(handle, MPG123_ENC_DELAY, &encoderDelay, &unused) ==
                          MPG123_OK && encoderDelay >= 0;
  if (tagged && headerSamples > 0) result->headerSeconds = double(headerSamples) / rate;

  std::vector<int16_t> samples;
  unsigned char chunk[65536];
  for (;;) {
    size_t done = 0;
    int status = mpg123_read(handle, chunk, sizeof chunk, &done);
    samples.insert(samples.end(), reinterpret_cast<int16_t*>(chunk),
                   reinterpret_cast<int16_t*>(chunk + (done & ~size_t(3))));
    if (status == MPG123_DONE) break;
    if (status == MPG123_NEW_FORMAT) {
      long gotRate = 0;
      int channels = 0, encoding = 0;
      mpg123_getformat(handle, &gotRate, &channels, &encoding);
      if (gotRate != rate || channels != 2 || encoding != MPG123_ENC_SIGNED_16)
        return fail("decoder gave an unexpected sample format");
      continue;
    }
    if (status != MPG123_OK) {
      if (samples.empty())
        return fail(std::string("not a decodable MP3 (") + mpg123_strerror(handle) + ")");
      result->stoppedEarly = true;
      result->stopReason = mpg123_strerror(handle);
      break;
    }
  }
  if (samples.empty()) return fail("not a decodable MP3 (no audio frames found)");
  result->decodedSeconds = double(samples.size() / 2) / rate;
  result->pcm.swap(samples);
  return true;
}

// Whether a whole decoding fell short of the file's own length; if so a
// message naming the file and both lengths.
bool DecodedShort(const char* path, const Decoding& d, std::string* message) {
  const bool shortOfHeader =
      d.headerSeconds > 0 && d.decodedSeconds < d.headerSeconds - kLengthSlackSeconds;
  if (!shortOfHeader && !d.stoppedEarly) return false;
  char text[512];
  if (d.stoppedEarly)
    snprintf(text, sizeof text, "music file '%s': decoding stops at %.1f s (%s)", path,
             d.decodedSeconds, d.stopReason.c_str());
  else
    snprintf(text, sizeof text,
             "music file '%s': cut short: it decodes to %.1f s of the %.1f s its header gives",
             path, d.decodedSeconds, d.headerSeconds);
  *message = text;
  return true;
}

// Playback of a started stream goes on from track frame `frame` now (on the
// virtual clock from `seconds`, the same moment before rounding to a frame).
// Caller holds audioMutex.
void RestartAt(Stream& stream, uint64_t frame, double seconds) {
  stream.cursor = frame;
  stream.paused = false;
  if (output == Output::Virtual) {
    virtualSeconds = std::max(0.0, seconds);
    return;
  }
  const bool device = output == Output::Device;
  ClockReset(stream.clock, stream.rate, stream.frames, device ? deviceBufferFrames : 0.0);
  ClockStart(stream.clock, frame, NowSeconds(), !device);
}

// Switches to the silent output, saying so once.
void UseSilentOutput() {
  output = Output::Silent;
  std::fprintf(stderr, "no audio device: playing without sound\n");
}

}  // namespace

// Opens the output; falls back to a silent one without a device.
MusicStream musicStream = 0;

bool OpenMusic() {
  if (!AudioInit(-1, 44100)) return false;
  AudioStart();
  AudioStreamFree(musicStream);
  musicStream = AudioStreamCreateFile(kMusicFile);
  return true;
}

bool AudioInit(int device, int frequency) {
  if (frequency > 0) outputRate = frequency;
  if (output == Output::Virtual || output == Output::Device) return true;
  if (!exitHandlerSet) {
    // Runs before the static objects (and the decoded music) are destroyed,
    // so the callback thread is gone before its data.
    std::atexit(AudioShutdown);
    exitHandlerSet = true;
  }
  if (device == 0) {  // device 0 asks for no sound
    UseSilentOutput();
    return true;
  }
  if (SDL_WasInit(SDL_INIT_AUDIO) == 0) {
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) < 0) {
      UseSilentOutput();
      return true;
    }
    sdlAudioOwned = true;
  }
  SDL_AudioSpec wanted;
  std::memset(&wanted, 0, sizeof wanted);
  wanted.freq = outputRate;
  wanted.format = AUDIO_S16SYS;
  wanted.channels = 2;
  wanted.samples = kDeviceBufferFrames;
  wanted.callback = FillOutput;
  // No obtained spec: SDL converts our format to the device's if they differ.
  if (SDL_OpenAudio(&wanted, nullptr) < 0) {
    if (sdlAudioOwned) SDL_QuitSubSystem(SDL_INIT_AUDIO);
    sdlAudioOwned = false;
    UseSilentOutput();
    return true;
  }
  std::lock_guard<std::mutex> lock(audioMutex);
  deviceBufferFrames = wanted.samples;
  output = Output::Device;
  return true;
}

// Lets the device ask for sound.
bool AudioStart() {
  if (output == Output::None) return false;
  if (output == Output::Device) SDL_PauseAudio(0);
  return true;
}

// Closes the device; the callback thread has ended when this returns.
void AudioShutdown() {
  if (output != Output::Device) return;
  SDL_CloseAudio();  // must not hold audioMutex: it waits for the callback
  if (sdlAudioOwned) SDL_QuitSubSystem(SDL_INIT_AUDIO);
  sdlAudioOwned = false;
  output = Output::None;
}

// Releases a stream.
void AudioStreamFree(MusicStream stream) {
  std::lock_guard<std::mutex> lock(audioMutex);
  if (FindStream(stream)) streams[stream - 1].reset();
}

// Decodes a whole MP3 file into a new, stopped stream (the start-up check's
// decoding when it checked this file). A file that ends before its header's
// length plays silence for the rest, so its clock still runs to the end.
MusicStream AudioStreamCreateFile(const char* path) {
  auto stream = std::make_unique<Stream>();
  if (!path) {
    std::fprintf(stderr, "music file: no name given\n");
    return 0;
  }
  if (checkedFile.path == path && checkedFile.rate == outputRate && !checkedFile.pcm.empty()) {
    stream->pcm.swap(checkedFile.pcm);
    checkedFile = DecodedFile();
  } else {
    Decoding decoding;
    std::string error;
    if (!DecodeMp3(path, outputRate, &decoding, &error)) {
      std::fprintf(stderr, "%s\n", error.c_str());
      return 0;
    }
    std::string message;
    if (DecodedShort(path, decoding, &message)) {
      std::fprintf(stderr, "%s; the rest plays as silence\n", message.c_str());
      const double seconds = std::max(decoding.headerSeconds, decoding.decodedSeconds);
      decoding.pcm.resize(static_cast<size_t>(std::llround(seconds * outputRate)) * 2, 0);
    }
    stream->pcm.swap(decoding.pcm);
  }
  stream->rate = outputRate;
  stream->frames = stream->pcm.size() / 2;
  ClockReset(stream->clock, stream->rate, stream->frames, 0.0);
  std::lock_guard<std::mutex> lock(audioMutex);
  streams.push_back(std::move(stream));
  return static_cast<MusicStream>(streams.size());
}

// Starts a stream: the first play begins at the start position, a restart at 0.
bool AudioChannelPlay(MusicStream handle, bool restart) {
  std::lock_guard<std::mutex> lock(audioMutex);
  Stream* stream = FindStream(handle);
  if (!stream) return false;
  if (stream->playing && !restart) {
    if (stream->paused)
      RestartAt(*stream, stream->pausedFrame, stream->pausedFrame / double(stream->rate));
    return true;
  }
  stream->paused = false;
  double from = restart ? 0.0 : stream->playedBefore ? stream->cursor / double(stream->rate)
                                                      : startSeconds;
  stream->cursor = FrameAt(*stream, from);
  stream->playing = true;
  stream->playedBefore = true;
  if (output == Output::Virtual) {
    virtualSeconds = from;
    return true;
  }
  // The device hears a buffer one buffer after it was handed over.
  bool device = output == Output::Device;
  ClockReset(stream->clock, stream->rate, stream->frames, device ? deviceBufferFrames : 0.0);
  ClockStart(stream->clock, stream->cursor, NowSeconds(), !device);
  return true;
}

// Byte position of what is being heard.
uint64_t AudioChannelGetPosition(MusicStream handle) {
  std::lock_guard<std::mutex> lock(audioMutex);
  Stream* stream = FindStream(handle);
  if (!stream || !stream->playing) return 0;
  if (stream->paused) return stream->pausedFrame * kBytesPerFrame;
  uint64_t frame = output == Output::Virtual ? FrameAt(*stream, virtualSeconds)
                                             : ClockRead(stream->clock, NowSeconds());
  return frame * kBytesPerFrame;
}

// Byte position to seconds at the stream's rate.
double AudioChannelBytes2Seconds(MusicStream handle, uint64_t bytes) {
  std::lock_guard<std::mutex> lock(audioMutex);
  Stream* stream = FindStream(handle);
  if (!stream) return 0.0;
  return static_cast<double>(bytes) / (static_cast<double>(kBytesPerFrame) * stream->rate);
}

// Decodes the whole file to see that it is a usable MP3 as long as its
// header says; keeps the decoding for the stream that will play it.
bool AudioCheckFile(const char* path, std::string* error) {
  if (!path) {
    if (error) *error = "music file: no name given";
    return false;
  }
  Decoding decoding;
  if (!DecodeMp3(path, outputRate, &decoding, error)) return false;
  std::string message;
  if (DecodedShort(path, decoding, &message)) {
    if (error) *error = message;
    return false;
  }
  checkedFile.path = path;
  checkedFile.rate = outputRate;
  checkedFile.pcm.swap(decoding.pcm);
  return true;
}

double AudioCheckedSeconds(const char* path) {
  if (!path || checkedFile.path != path || checkedFile.rate <= 0) return -1;
  return static_cast<double>(checkedFile.pcm.size() / 2) / checkedFile.rate;
}

// Start position of the first play.
void AudioSetStartSeconds(double seconds) { startSeconds = std::max(0.0, seconds); }

// The decoded track of a stream.
bool AudioStreamPcm(MusicStream handle, const int16_t** samples, size_t* frames) {
  std::lock_guard<std::mutex> lock(audioMutex);
  Stream* stream = FindStream(handle);
  if (!stream) return false;
  if (samples) *samples = stream->pcm.data();
  if (frames) *frames = stream->frames;
  return true;
}

// Sample rate of a stream.
int AudioStreamRate(MusicStream handle) {
  std::lock_guard<std::mutex> lock(audioMutex);
  Stream* stream = FindStream(handle);
  return stream ? stream->rate : 0;
}

// The capture tool's clock replaces the output and the tick counter.
void AudioUseVirtualClock() {
  AudioShutdown();
  std::lock_guard<std::mutex> lock(audioMutex);
  output = Output::Virtual;
  virtualSeconds = 0.0;
  TicksUseVirtualClock();
}

// Sets the virtual music position.
void AudioSetVirtualPosition(double seconds) {
  std::lock_guard<std::mutex> lock(audioMutex);
  virtualSeconds = std::max(0.0, seconds);
}

// Moves the virtual music position and ticks on together.
void AudioAdvanceVirtualClock(double seconds) {
  if (!(seconds > 0.0)) return;
  {
    std::lock_guard<std::mutex> lock(audioMutex);
    virtualSeconds += seconds;
  }
  TicksAdvanceVirtual(seconds * 1000.0);
}

// ---- Pause, resume and set-position (rehearsal) ----

// Holds a playing stream where it is heard now.
bool AudioChannelPause(MusicStream handle) {
  std::lock_guard<std::mutex> lock(audioMutex);
  Stream* stream = FindStream(handle);
  if (!stream || !stream->playing) return false;
  if (stream->paused) return true;
  stream->pausedFrame = output == Output::Virtual ? FrameAt(*stream, virtualSeconds)
                                                  : ClockRead(stream->clock, NowSeconds());
  stream->cursor = stream->pausedFrame;
  stream->paused = true;
  return true;
}

// Plays a paused stream on from where it was held.
bool AudioChannelResume(MusicStream handle) {
  std::lock_guard<std::mutex> lock(audioMutex);
  Stream* stream = FindStream(handle);
  if (!stream || !stream->playing) return false;
  if (stream->paused)
    RestartAt(*stream, stream->pausedFrame, stream->pausedFrame / double(stream->rate));
  return true;
}

// Moves the position; a paused stream stays paused there, a playing one plays
// on from there, one not yet started will start there.
bool AudioChannelSetPosition(MusicStream handle, double seconds) {
  std::lock_guard<std::mutex> lock(audioMutex);
  Stream* stream = FindStream(handle);
  if (!stream) return false;
  const uint64_t frame = FrameAt(*stream, seconds);
  if (!stream->playing) {
    stream->cursor = frame;
    stream->playedBefore = true;
  } else if (stream->paused) {
    stream->pausedFrame = stream->cursor = frame;
  } else {
    RestartAt(*stream, frame, std::min(seconds, stream->frames / double(stream->rate)));
  }
  return true;
}

// Whether a stream is playing but held by AudioChannelPause.
bool AudioChannelPaused(MusicStream handle) {
  std::lock_guard<std::mutex> lock(audioMutex);
  Stream* stream = FindStream(handle);
  return stream && stream->playing && stream->paused;
}

// The length of a stream's track in seconds (0 for no stream).
double AudioStreamSeconds(MusicStream handle) {
  std::lock_guard<std::mutex> lock(audioMutex);
  Stream* stream = FindStream(handle);
  return stream ? stream->frames / double(stream->rate) : 0.0;
}

bool AudioLeaveVirtualClock() {
  double at = 0.0;
  {
    std::lock_guard<std::mutex> lock(audioMutex);
    if (output != Output::Virtual) return false;
    output = Output::None;
    at = virtualSeconds;
  }
  TicksUseRealClockFrom(TicksVirtualMs());
  AudioInit(-1, outputRate);
  AudioStart();
  std::lock_guard<std::mutex> lock(audioMutex);
  for (auto& stream : streams) {
    if (!stream || !stream->playing) continue;
    const uint64_t frame = FrameAt(*stream, at);
    if (stream->paused)
      stream->pausedFrame = stream->cursor = frame;
    else
      RestartAt(*stream, frame, at);
  }
  return true;
}

double AudioVirtualReading(MusicStream handle, double seconds) {
  std::lock_guard<std::mutex> lock(audioMutex);
  Stream* stream = FindStream(handle);
  if (!stream) return 0.0;
  return static_cast<double>(FrameAt(*stream, seconds)) / stream->rate;
}
