// Checkpoints: the whole show at one frame of a fixed-rate run, its CPU
// state (the ShowState), what lives on the GPU and carries to later frames
// (the fluid's distributions, the particles, which colour buffer is the scene
// texture, the context's fixed-function state), and the run's tick clock.
// Restoring one makes the following frames those that followed when it was
// taken. In memory a checkpoint is a value; on disk it is a file with a
// header naming the program version, the frame rate and the frame, and a
// checksum. A file of another version, rate or key track, or a damaged one,
// is refused whole with the reason.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "render/gl_fixed_state.h"
#include "scenes/show_state.h"

// What a checkpoint belongs to: the frame grid and the rope step.
struct RunKey {
  int fps = 60;
  bool fixedStep = false;
};

struct Checkpoint {
  RunKey key;
  long frame = 0;       // the grid frame that runs next: music position frame / fps
  double ticksMs = 0;   // the virtual tick clock before that frame
  uint64_t keyTrackSum = 0;  // the key track it was taken with
  std::vector<uint8_t> state;  // the ShowState's bytes
  GlFixedState gl{};
  uint32_t sceneTexture = 0, passTexture = 0;
  // The particle move program's uniforms: each frame sets them after its
  // dispatch, so the next frame's dispatch runs with them.
  float moveClock = 0, moveFrameFactor = 0;
  int32_t moveColourSet = 0;
  // The two distribution buffers, the particles, then the pictures of the
  // scene texture and the pass texture (RGB rows).
  std::vector<uint8_t> gpu;
};

// The checksum of the key track in use: checkpoints of another track are
// another show.
uint64_t KeyTrackChecksum();
// Takes the show as it stands between two frames. `frame` is the grid frame
// that runs next.
Checkpoint TakeCheckpoint(const ShowState& show, RunKey key, long frame, double ticksMs);
// Puts the show and the GPU back as the checkpoint holds them. False (with
// the reason, and nothing changed) when it does not fit this show.
bool RestoreCheckpoint(const Checkpoint& checkpoint, ShowState& show, std::string* why);

// The file name of the checkpoint of `frame` in a directory.
std::string CheckpointFileName(RunKey key, long frame);
// Writes the checkpoint into `path` (through a file beside it, renamed over
// it when whole). False with the reason on any failure; nothing half-written
// stays.
bool WriteCheckpointFile(const Checkpoint& checkpoint, const std::string& path, std::string* why);
// Reads a checkpoint file of this program version, of `key` and of the key
// track in use. False with the reason for anything else; *checkpoint is
// only changed on success.
bool ReadCheckpointFile(const std::string& path, RunKey key, Checkpoint* checkpoint,
                        std::string* why);

// A directory of checkpoint files of one run key, one every `stride` frames,
// as a capture or the live show's run-up keeps it.
struct CheckpointDirectory {
  std::string path;  // empty: no checkpoint files
  RunKey key;
  long stride = 600;      // frames between two checkpoints
  const char* program = "kelvane12";  // for messages

  // Restores the latest checkpoint at or before `frame` into the show and
  // the tick clock; *restored gets its frame, or -1 when there is none. A
  // file there that cannot be used (damaged, of another version, rate or key
  // track) is named with the reason on stderr and gives false: nothing is
  // taken from it.
  bool RestoreLatest(ShowState& show, long frame, long* restored) const;
  // Before grid frame `frame` runs: writes its checkpoint when one is due
  // (on the stride, and not there already). False, with a message, when it
  // cannot be written.
  bool KeepIfDue(const ShowState& show, long frame) const;
};

// Frames between two checkpoints `seconds` apart at `fps`.
long CheckpointStride(int fps, double seconds);
