#include "runtime/checkpoint.h"

#include "core/gl.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>

#include "core/file_open.h"
#include "core/ticks.h"
#include "particles/particle_field.h"
#include "render/render_target.h"
#include "runtime/key_track.h"
#include "runtime/version.h"
#include "scenes/show_state_io.h"

namespace {
constexpr char kMagic[8] = {'K', '1', '2', 'C', 'K', 'P', 'T', '\n'};
// Raised whenever what a checkpoint holds changes shape.
constexpr uint32_t kFormatVersion = 3;
// The render target's two colour textures, RGB.
constexpr size_t kTargetImageBytes = size_t(kRenderWidth) * kRenderHeight * 3;
// Checkpoints hold some 40 MB; a header claiming far more is damaged.
constexpr uint64_t kLargestPayload = uint64_t(1) << 30;

// The move program's uniform locations (shaders/moveparticles-glsl.cs).
constexpr int kMoveClockLocation = 10, kMoveFrameFactorLocation = 12, kMoveColourSetLocation = 13;

// The GPU buffers a checkpoint holds, in order, and their sizes.
struct GpuBuffer {
  unsigned int name;
  size_t bytes;
};
std::vector<GpuBuffer> CarriedBuffers() {
  const size_t distribution = size_t(kLatticeCells) * 9 * 4;
  return {{particleField.distributionA, distribution},
          {particleField.distributionB, distribution},
          {particleField.positions, size_t(kParticleCount) * 4 * 4}};
}

// Everything the checkpoint reads back from the GPU, in bytes.
size_t GpuBytes() {
  size_t bytes = 2 * kTargetImageBytes;
  for (const GpuBuffer& b : CarriedBuffers()) bytes += b.bytes;
  return bytes;
}

// Reads a colour texture's picture into `rgb`, leaving the bindings and the
// pack alignment as they were.
void ReadTargetImage(unsigned int texture, uint8_t* rgb) {
  GLint bound = 0, alignment = 4;
  glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
  glGetIntegerv(GL_PACK_ALIGNMENT, &alignment);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glBindTexture(GL_TEXTURE_2D, texture);
  glGetTexImage(GL_TEXTURE_2D, 0, GL_RGB, GL_UNSIGNED_BYTE, rgb);
  glBindTexture(GL_TEXTURE_2D, bound);
  glPixelStorei(GL_PACK_ALIGNMENT, alignment);
}

// The reverse.
void WriteTargetImage(unsigned int texture, const uint8_t* rgb) {
  GLint bound = 0, alignment = 4;
  glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
  glGetIntegerv(GL_UNPACK_ALIGNMENT, &alignment);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  glBindTexture(GL_TEXTURE_2D, texture);
  glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, kRenderWidth, kRenderHeight, GL_RGB, GL_UNSIGNED_BYTE,
                  rgb);
  glBindTexture(GL_TEXTURE_2D, bound);
  glPixelStorei(GL_UNPACK_ALIGNMENT, alignment);
}

// The file header: plain fields in the machine's own order.
struct FileHeader {
  char magic[8];
  uint32_t formatVersion;
  char programVersion[24];
  uint32_t fps;
  uint32_t fixedStep;
  int64_t frame;
  double ticksMs;
  uint64_t keyTrackSum;
  uint64_t layoutSum;      // the sizes of the state's parts: another build's layout differs
  uint64_t payloadBytes;   // uncompressed
  uint64_t storedBytes;    // compressed, as they follow the header
  uint64_t checksum;       // of the header with this field 0, then the payload
};

// A fingerprint of the state's layout as this build compiles it.
uint64_t LayoutChecksum() {
  const size_t sizes[] = {sizeof(ShowState), sizeof(RopeParticle), sizeof(MassPoint),
                          sizeof(Spring),    sizeof(Triangle),     sizeof(ScenePlan),
                          sizeof(PointCloudState), sizeof(GlFixedState)};
  return Checksum64(sizes, sizeof sizes);
}

// The payload: the state's size and bytes, the GL state, the two texture
// names, the GPU buffers.
std::vector<uint8_t> Payload(const Checkpoint& c) {
  std::vector<uint8_t> out;
  out.reserve(c.state.size() + sizeof(GlFixedState) + c.gpu.size() + 64);
  auto put = [&](const void* data, size_t size) {
    const auto* p = static_cast<const uint8_t*>(data);
    out.insert(out.end(), p, p + size);
  };
  const uint64_t stateBytes = c.state.size();
  put(&stateBytes, sizeof stateBytes);
  put(c.state.data(), c.state.size());
  put(&c.gl, sizeof c.gl);
  put(&c.sceneTexture, sizeof c.sceneTexture);
  put(&c.passTexture, sizeof c.passTexture);
  put(&c.moveClock, sizeof c.moveClock);
  put(&c.moveFrameFactor, sizeof c.moveFrameFactor);
  put(&c.moveColourSet, sizeof c.moveColourSet);
  put(c.gpu.data(), c.gpu.size());
  return out;
}

// The reverse of Payload, checking every size.
bool SplitPayload(const std::vector<uint8_t>& payload, Checkpoint* c, std::string* why) {
  size_t at = 0;
  auto take = [&](void* data, size_t size) {
    if (size > payload.size() - at) return false;
    memcpy(data, payload.data() + at, size);
    at += size;
    return true;
  };
  uint64_t stateBytes = 0;
  if (!take(&stateBytes, sizeof stateBytes) || stateBytes > payload.size() - at) {
    *why = "its contents are cut short";
    return false;
  }
  c->state.assign(payload.begin() + at, payload.begin() + at + stateBytes);
  at += stateBytes;
  if (!take(&c->gl, sizeof c->gl) || !take(&c->sceneTexture, sizeof c->sceneTexture) ||
      !take(&c->passTexture, sizeof c->passTexture) || !take(&c->moveClock, sizeof c->moveClock) ||
      !take(&c->moveFrameFactor, sizeof c->moveFrameFactor) ||
      !take(&c->moveColourSet, sizeof c->moveColourSet)) {
    *why = "its contents are cut short";
    return false;
  }
  if (payload.size() - at != GpuBytes()) {
    *why = "its GPU buffers have another size";
    return false;
  }
  c->gpu.assign(payload.begin() + at, payload.end());
  return true;
}

uint64_t HeaderAndPayloadChecksum(FileHeader header, const std::vector<uint8_t>& payload) {
  header.checksum = 0;
  return Checksum64(payload.data(), payload.size(), Checksum64(&header, sizeof header));
}

}  // namespace

uint64_t KeyTrackChecksum() { return Checksum64(&keyTrack, sizeof keyTrack); }

Checkpoint TakeCheckpoint(const ShowState& show, RunKey key, long frame, double ticksMs) {
  Checkpoint c;
  c.key = key;
  c.frame = frame;
  c.ticksMs = ticksMs;
  c.keyTrackSum = KeyTrackChecksum();
  AppendShowState(show, c.state);
  c.gl = ReadGlFixedState();
  c.sceneTexture = targets.sceneTexture;
  c.passTexture = targets.passTexture;
  glGetUniformfv(particleField.moveProgram, kMoveClockLocation, &c.moveClock);
  glGetUniformfv(particleField.moveProgram, kMoveFrameFactorLocation, &c.moveFrameFactor);
  glGetUniformiv(particleField.moveProgram, kMoveColourSetLocation, &c.moveColourSet);
  // The compute passes' writes must land before the buffers are read.
  glMemoryBarrier(GL_BUFFER_UPDATE_BARRIER_BIT);
  GLint bound = 0;
  glGetIntegerv(GL_COPY_READ_BUFFER_BINDING, &bound);
  for (const GpuBuffer& b : CarriedBuffers()) {
    const size_t at = c.gpu.size();
    c.gpu.resize(at + b.bytes);
    glBindBuffer(GL_COPY_READ_BUFFER, b.name);
    glGetBufferSubData(GL_COPY_READ_BUFFER, 0, static_cast<GLsizeiptr>(b.bytes), &c.gpu[at]);
  }
  glBindBuffer(GL_COPY_READ_BUFFER, bound);
  const size_t at = c.gpu.size();
  c.gpu.resize(at + 2 * kTargetImageBytes);
  ReadTargetImage(c.sceneTexture, &c.gpu[at]);
  ReadTargetImage(c.passTexture, &c.gpu[at + kTargetImageBytes]);
  return c;
}

bool RestoreCheckpoint(const Checkpoint& c, ShowState& show, std::string* why) {
  const bool sameTextures = (c.sceneTexture == targets.sceneTexture &&
                             c.passTexture == targets.passTexture) ||
                            (c.sceneTexture == targets.passTexture &&
                             c.passTexture == targets.sceneTexture);
  if (!sameTextures) {
    *why = "its render targets are not this show's";
    return false;
  }
  if (c.gpu.size() != GpuBytes()) {
    *why = "its GPU buffers have another size";
    return false;
  }
  if (!ReadShowState(c.state.data(), c.state.size(), kKeyTrackSize, show, why)) return false;
  targets.sceneTexture = c.sceneTexture;
  targets.passTexture = c.passTexture;
  GLint bound = 0;
  glGetIntegerv(GL_COPY_WRITE_BUFFER_BINDING, &bound);
  size_t at = 0;
  for (const GpuBuffer& b : CarriedBuffers()) {
    glBindBuffer(GL_COPY_WRITE_BUFFER, b.name);
    glBufferSubData(GL_COPY_WRITE_BUFFER, 0, static_cast<GLsizeiptr>(b.bytes), &c.gpu[at]);
    at += b.bytes;
  }
  glBindBuffer(GL_COPY_WRITE_BUFFER, bound);
  WriteTargetImage(c.sceneTexture, &c.gpu[at]);
  WriteTargetImage(c.passTexture, &c.gpu[at + kTargetImageBytes]);
  glMemoryBarrier(GL_ALL_BARRIER_BITS);
  glProgramUniform1f(particleField.moveProgram, kMoveClockLocation, c.moveClock);
  glProgramUniform1f(particleField.moveProgram, kMoveFrameFactorLocation, c.moveFrameFactor);
  glProgramUniform1i(particleField.moveProgram, kMoveColourSetLocation, c.moveColourSet);
  ApplyGlFixedState(c.gl);
  return true;
}

std::string CheckpointFileName(RunKey key, long frame) {
  char name[96];
  snprintf(name, sizeof name, "kelvane12-%dfps%s-%07ld.checkpoint", key.fps,
           key.fixedStep ? "-fixed" : "", frame);
  return name;
}

bool WriteCheckpointFile(const Checkpoint& c, const std::string& path, std::string* why) {
  const std::vector<uint8_t> payload = Payload(c);
  uLongf storedBytes = compressBound(payload.size());
  std::unique_ptr<Bytef[]> stored(new Bytef[storedBytes]);
  // The fastest level: the fluid and particle buffers are most of it, and
  // they shrink well enough.
  if (compress2(stored.get(), &storedBytes, payload.data(), payload.size(), 1) != Z_OK) {
    *why = "cannot compress it";
    return false;
  }
  FileHeader header{};
  memcpy(header.magic, kMagic, sizeof kMagic);
  header.formatVersion = kFormatVersion;
  snprintf(header.programVersion, sizeof header.programVersion, "%s", KELVANE_VERSION);
  header.fps = static_cast<uint32_t>(c.key.fps);
  header.fixedStep = c.key.fixedStep;
  header.frame = c.frame;
  header.ticksMs = c.ticksMs;
  header.keyTrackSum = c.keyTrackSum;
  header.layoutSum = LayoutChecksum();
  header.payloadBytes = payload.size();
  header.storedBytes = storedBytes;
  header.checksum = HeaderAndPayloadChecksum(header, payload);

  const std::filesystem::path target(path);
  std::string temp = (target.parent_path() / ("." + target.filename().string() + ".XXXXXX")).string();
  const int fd = mkostemp(temp.data(), O_CLOEXEC);
  if (fd < 0) {
    *why = strerror(errno);
    return false;
  }
  bool ok = WriteAllBytes(fd, &header, sizeof header) && WriteAllBytes(fd, stored.get(), storedBytes);
  int error = errno;
  if (ok) {
    // Readable as the user's other files are (mkostemp makes them 0600).
    const mode_t mask = umask(0);
    umask(mask);
    if (fchmod(fd, 0666 & ~mask) != 0) ok = false, error = errno;
  }
  if (close(fd) != 0 && ok) ok = false, error = errno;
  if (ok && rename(temp.c_str(), path.c_str()) != 0) ok = false, error = errno;
  if (!ok) {
    unlink(temp.c_str());
    *why = strerror(error);
  }
  return ok;
}

bool ReadCheckpointFile(const std::string& path, RunKey key, Checkpoint* checkpoint,
                        std::string* why) {
  const int fd = OpenRegularForReading(path.c_str(), why);
  if (fd < 0) return false;
  struct Closer {
    int fd;
    ~Closer() { close(fd); }
  } closer{fd};
  struct stat info;
  if (fstat(fd, &info) != 0) {
    *why = strerror(errno);
    return false;
  }
  FileHeader header;
  if (!ReadAllBytes(fd, &header, sizeof header) || memcmp(header.magic, kMagic, sizeof kMagic) != 0) {
    *why = "not a checkpoint file";
    return false;
  }
  if (header.formatVersion != kFormatVersion ||
      strncmp(header.programVersion, KELVANE_VERSION, sizeof header.programVersion) != 0 ||
      header.layoutSum != LayoutChecksum()) {
    header.programVersion[sizeof header.programVersion - 1] = 0;
    *why = std::string("made by another version of the program (") + header.programVersion +
           ", this is " + KELVANE_VERSION + ")";
    return false;
  }
  if (header.fps != static_cast<uint32_t>(key.fps) || header.fixedStep != key.fixedStep) {
    *why = "made at " + std::to_string(header.fps) + " frames a second" +
           (header.fixedStep ? " with the fixed rope step" : "") + ", not " +
           std::to_string(key.fps) + (key.fixedStep ? " with the fixed rope step" : "");
    return false;
  }
  if (header.payloadBytes > kLargestPayload || header.storedBytes > compressBound(header.payloadBytes) ||
      static_cast<uint64_t>(info.st_size) != sizeof header + header.storedBytes) {
    *why = "damaged: its size does not match its header";
    return false;
  }
  std::unique_ptr<Bytef[]> stored(new Bytef[header.storedBytes]);
  if (!ReadAllBytes(fd, stored.get(), header.storedBytes)) {
    *why = "cannot read it whole";
    return false;
  }
  std::vector<uint8_t> payload(header.payloadBytes);
  uLongf payloadBytes = header.payloadBytes;
  if (uncompress(payload.data(), &payloadBytes, stored.get(), header.storedBytes) != Z_OK ||
      payloadBytes != header.payloadBytes || HeaderAndPayloadChecksum(header, payload) != header.checksum) {
    *why = "damaged: its checksum does not match";
    return false;
  }
  if (header.keyTrackSum != KeyTrackChecksum()) {
    *why = "made with another key track";
    return false;
  }
  Checkpoint read;
  read.key = key;
  read.frame = header.frame;
  read.ticksMs = header.ticksMs;
  read.keyTrackSum = header.keyTrackSum;
  if (!SplitPayload(payload, &read, why)) return false;
  *checkpoint = std::move(read);
  return true;
}

long CheckpointStride(int fps, double seconds) {
  const long stride = std::lround(seconds * fps);
  return stride < 1 ? 1 : stride;
}

bool CheckpointDirectory::RestoreLatest(ShowState& show, long frame, long* restored) const {
  *restored = -1;
  if (path.empty()) return true;
  for (long k = frame / stride * stride; k >= 0; k -= stride) {
    const std::string file = (std::filesystem::path(path) / CheckpointFileName(key, k)).string();
    if (access(file.c_str(), F_OK) != 0) continue;
    Checkpoint checkpoint;
    std::string why;
    if (ReadCheckpointFile(file, key, &checkpoint, &why) && checkpoint.frame != k)
      why = "damaged: it holds another frame than its name says";
    if (why.empty() && RestoreCheckpoint(checkpoint, show, &why)) {
      TicksSetVirtualMs(checkpoint.ticksMs);
      *restored = k;
      return true;
    }
    fprintf(stderr, "%s: the checkpoint %s cannot be used: %s.\n"
                    "%s: remove it, or give another checkpoint directory\n",
            program, file.c_str(), why.c_str(), program);
    return false;
  }
  return true;
}

bool CheckpointDirectory::KeepIfDue(const ShowState& show, long frame) const {
  if (path.empty() || frame % stride != 0) return true;
  const std::string file = (std::filesystem::path(path) / CheckpointFileName(key, frame)).string();
  if (access(file.c_str(), F_OK) == 0) return true;
  std::string why;
  if (!WriteCheckpointFile(TakeCheckpoint(show, key, frame, TicksVirtualMs()), file, &why)) {
    fprintf(stderr, "%s: cannot write the checkpoint %s (%s)\n", program, file.c_str(),
            why.c_str());
    return false;
  }
  return true;
}
