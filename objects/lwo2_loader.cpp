// The LWO2 reader of CSoftObject: point positions, triangles (each edge one
// spring) and the "Bone01" weight map; everything else is skipped by size.
// The file is read into memory as far as its FORM size says (a mesh may have
// at most kMaxFormSize bytes) and every read is bounded by the chunk it
// belongs to, so a damaged file ends in the loader's fatal error, never in a
// read outside the data or in reading without end.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "core/fatal.h"
#include "objects/soft_object.h"

namespace {
LoaderFatalHook fatalHook = nullptr;

// Far above any mesh the soft body can simulate, and a bound on what a
// damaged size field can make the loader read.
constexpr uint32_t kMaxFormSize = 256u << 20;

constexpr uint32_t Tag(const char (&s)[5]) {
  return (uint32_t(uint8_t(s[0])) << 24) | (uint32_t(uint8_t(s[1])) << 16) |
         (uint32_t(uint8_t(s[2])) << 8) | uint32_t(uint8_t(s[3]));
}

uint32_t ReadBigEndian32(const uint8_t* p) {
  return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | uint32_t(p[3]);
}

// Fatal error with a formatted message.
[[noreturn]] void LoaderFatalf(const char* format, ...) {
  char message[512];
  va_list args;
  va_start(args, format);
  vsnprintf(message, sizeof message, format, args);
  va_end(args);
  LoaderFatal(message);
}

// Printable form of a tag for messages.
std::string TagText(uint32_t tag) {
  std::string text;
  for (int shift = 24; shift >= 0; shift -= 8) {
    char c = char((tag >> shift) & 0xFF);
    text += (c >= 32 && c < 127) ? c : '?';
  }
  return text;
}

// Appends up to `count` bytes of a stream; false on a read error.
bool ReadUpTo(std::FILE* file, size_t count, std::vector<uint8_t>* bytes) {
  uint8_t block[65536];
  while (count > 0) {
    const size_t got = fread(block, 1, std::min(count, sizeof block), file);
    if (got == 0) break;
    bytes->insert(bytes->end(), block, block + got);
    count -= got;
  }
  return !ferror(file);
}

// The two header errors keep their fixed wording; the file they are about
// follows on a line of its own.
[[noreturn]] void HeaderFatal(const char* message, const char* file) {
  if (fatalHook) fatalHook(message);
  Fatal(stderr, "Error: %s\nmesh file: %s\n", message, file);
}

// A cursor over one chunk's data: every read that would pass the chunk's end
// is a fatal error naming the file, the chunk and its offset.
struct ChunkCursor {
  const uint8_t* data;
  size_t pos;
  size_t end;
  const char* file;
  uint32_t tag;
  size_t chunkOffset;

  const uint8_t* Take(size_t n, const char* what) {
    if (end - pos < n)
      LoaderFatalf("%s: end of %s chunk at offset %zu inside %s", file, TagText(tag).c_str(),
                   chunkOffset, what);
    const uint8_t* p = data + pos;
    pos += n;
    return p;
  }
  uint32_t U32(const char* what) { return ReadBigEndian32(Take(4, what)); }
  uint16_t U16(const char* what) {
    const uint8_t* p = Take(2, what);
    return uint16_t((p[0] << 8) | p[1]);
  }
  float F32(const char* what) {
    uint32_t bits = U32(what);
    float value;
    memcpy(&value, &bits, 4);
    return value;
  }
  uint32_t Index(const char* what) {
    uint32_t index = 0;
    int used = ParseIndex(data + pos, end - pos, &index);
    if (used == 0) Take(end - pos + 1, what);  // reports the overrun
    pos += used;
    return index;
  }
  std::string Name(const char* what) {
    const char* name = nullptr;
    int used = ParseName(data + pos, end - pos, &name);
    if (used == 0) Take(end - pos + 1, what);
    pos += used;
    return name;
  }
};

// The springs of a mesh as the triangles offer them: an edge whose two end
// positions, in either order, already belong to a spring is not added again.
// The end positions of every spring are kept in an open-addressing hash
// table, so each offer takes constant time and a mesh loads in time linear
// in its size (a plain search of the springs made that quadratic).
class SpringSet {
 public:
  SpringSet(std::vector<Spring>* springs, const std::vector<MassPoint>* points)
      : springs_(springs), points_(points) {}

  void Offer(int first, int second, float stiffness, float damping) {
    const Vec3f a = (*points_)[first].position;
    const Vec3f b = (*points_)[second].position;
    if (!Insert(KeyOf(a, b))) return;
    Spring s;
    s.first = first;
    s.second = second;
    s.stiffness = stiffness;
    s.damping = damping;
    s.restLength = Length(a - b);
    s.stretchPercent = 100.0f;
    s.maxDeviation = s.restLength * s.stretchPercent / 100.0f;
    springs_->push_back(s);
  }

 private:
  // Both end positions as bit patterns, the lower end first, so that equal
  // positions (0 and -0 alike: positions compare as numbers) give equal keys.
  using Key = std::array<uint32_t, 6>;
  static std::array<uint32_t, 3> Bits(Vec3f v) {
    const float xyz[3] = {v.x + 0.0f, v.y + 0.0f, v.z + 0.0f};  // -0 becomes 0
    std::array<uint32_t, 3> bits;
    memcpy(bits.data(), xyz, sizeof xyz);
    return bits;
  }
  static Key KeyOf(Vec3f a, Vec3f b) {
    std::array<uint32_t, 3> p = Bits(a), q = Bits(b);
    if (q < p) std::swap(p, q);
    return {p[0], p[1], p[2], q[0], q[1], q[2]};
  }
  static uint64_t Hash(const Key& key) {
    uint64_t h = 0;
    for (uint32_t word : key) {
      h = (h ^ word) * 0x9E3779B97F4A7C15ull;
      h ^= h >> 29;
    }
    return h * 0xBF58476D1CE4E5B9ull ^ (h >> 31);
  }

  // Adds the key; false when it was there. A slot holds the key's hash in
  // its high half and its number in keys_ plus one in the low half (0: empty).
  bool Insert(const Key& key) {
    if ((keys_.size() + 1) * 2 > slots_.size()) Grow();
    const uint64_t hash = Hash(key);
    const uint64_t tag = hash >> 32;
    const size_t mask = slots_.size() - 1;
    for (size_t i = hash & mask;; i = (i + 1) & mask) {
      const uint64_t slot = slots_[i];
      if (slot == 0) {
        keys_.push_back(key);
        slots_[i] = tag << 32 | keys_.size();
        return true;
      }
      if (slot >> 32 == tag && keys_[(slot & 0xFFFFFFFFu) - 1] == key) return false;
    }
  }
  // Doubles the table (kept at most half full) and places every key again.
  void Grow() {
    slots_.assign(std::max<size_t>(1024, slots_.size() * 2), 0);
    const size_t mask = slots_.size() - 1;
    for (size_t k = 0; k < keys_.size(); ++k) {
      const uint64_t hash = Hash(keys_[k]);
      size_t i = hash & mask;
      while (slots_[i] != 0) i = (i + 1) & mask;
      slots_[i] = (hash >> 32) << 32 | (k + 1);
    }
  }

  std::vector<Spring>* springs_;
  const std::vector<MassPoint>* points_;
  std::vector<Key> keys_;
  std::vector<uint64_t> slots_;
};
}  // namespace

void SetLoaderFatalHook(LoaderFatalHook hook) { fatalHook = hook; }

void LoaderFatal(const char* message) {
  if (fatalHook) fatalHook(message);
  Fatal(stderr, "Error: %s\n", message);
}

int ConvertBigEndianWords(void* words, int count) {
  uint8_t* p = static_cast<uint8_t*>(words);
  for (int i = 0; i < count; ++i, p += 4) {
    uint32_t value = ReadBigEndian32(p);
    memcpy(p, &value, 4);
  }
  return 4 * count;
}

int ParseIndex(const uint8_t* bytes, size_t available, uint32_t* index) {
  if (available < 2) return 0;
  if (bytes[0] == 0xFF) {
    if (available < 4) return 0;
    *index = (uint32_t(bytes[1]) << 16) | (uint32_t(bytes[2]) << 8) | uint32_t(bytes[3]);
    return 4;
  }
  *index = uint32_t(bytes[0]) * 256 + bytes[1];
  return 2;
}

int ParseName(const uint8_t* bytes, size_t available, const char** name) {
  const void* nul = memchr(bytes, 0, available);
  if (!nul) return 0;
  size_t used = static_cast<const uint8_t*>(nul) - bytes + 1;
  if (used % 2) {
    if (used == available) return 0;  // the pad byte is missing
    ++used;
  }
  *name = reinterpret_cast<const char*>(bytes);
  return int(used);
}

void CSoftObject::LoadObject(float offsetX, float offsetY, float offsetZ, float stiffness,
                             float damping, const char* path, float scale, float pointMass) {
  // Opened without blocking, so that a pipe without a writer is refused
  // below instead of waited on; only a regular file is read.
  const int fd = open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) LoaderFatalf("%s: cannot open the mesh file (%s)", path, strerror(errno));
  struct stat info;
  if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    close(fd);
    LoaderFatalf("%s: not a regular file", path);
  }
  std::FILE* file = fdopen(fd, "rb");
  if (!file) {
    close(fd);
    LoaderFatalf("%s: cannot open the mesh file (%s)", path, strerror(errno));
  }
  // Closed on every way out, the fuzz target's thrown errors included.
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> closer(file, fclose);
  LoadObjectFromStream(offsetX, offsetY, offsetZ, stiffness, damping, file, path, scale, pointMass);
}

void CSoftObject::LoadObjectFromStream(float offsetX, float offsetY, float offsetZ,
                                       float stiffness, float damping, std::FILE* file,
                                       const char* name, float scale, float pointMass) {
  // Header first: the FORM size bounds the rest of the read.
  std::vector<uint8_t> bytes;
  if (!ReadUpTo(file, 12, &bytes)) LoaderFatalf("%s: read error (%s)", name, strerror(errno));

  // The tags are compared even when the file is too short to hold them
  // (missing bytes never match), as the format errors require.
  auto headerWord = [&](size_t at) -> uint32_t {
    return at + 4 <= bytes.size() ? ReadBigEndian32(&bytes[at]) : 0;
  };
  if (headerWord(0) != Tag("FORM")) HeaderFatal("Not an IFF file (Missing FORM tag)", name);
  uint32_t formSize = headerWord(4);
  if (headerWord(8) != Tag("LWO2"))
    HeaderFatal("Not a lightwave object (Missing LWO2 tag)", name);
  if (formSize > kMaxFormSize)
    LoaderFatalf("%s: FORM size %u is more than a mesh may have (%u bytes)", name, formSize,
                 kMaxFormSize);
  if (formSize > 4) {
    if (!ReadUpTo(file, formSize - 4, &bytes))
      LoaderFatalf("%s: read error (%s)", name, strerror(errno));
    if (uint64_t(formSize) + 8 > bytes.size())
      LoaderFatalf("%s: FORM size %u runs past the end of the file (%zu bytes)", name, formSize,
                   bytes.size());
  }

  // Weight entries (point index as float, weight, 0) of the current map.
  struct WeightEntry {
    float index, weight, unused;
  };
  std::vector<WeightEntry> weights;
  bool previousWasWeightMap = false;
  SpringSet edges(&springs, &points);

  uint32_t byteCount = 4;  // the form type counts towards the FORM size
  size_t pos = 12;
  while (formSize > 4 && byteCount < formSize) {
    if (formSize - byteCount < 8)
      LoaderFatalf("%s: chunk header at offset %zu runs past the end of the FORM", name, pos);
    const size_t chunkOffset = pos;
    const uint32_t tag = ReadBigEndian32(&bytes[pos]);
    const uint32_t size = ReadBigEndian32(&bytes[pos + 4]);
    byteCount += 8;
    pos += 8;
    if (size > formSize - byteCount)
      LoaderFatalf("%s: %s chunk of %u bytes at offset %zu runs past the end of the FORM", name,
                   TagText(tag).c_str(), size, chunkOffset);
    ChunkCursor in{bytes.data(), pos, pos + size, name, tag, chunkOffset};

    if (tag == Tag("PNTS")) {
      if (size % 12)
        LoaderFatalf("%s: PNTS chunk at offset %zu has %u bytes, not a whole number of points",
                     name, chunkOffset, size);
      const uint32_t n = size / 12;
      std::vector<float> xyz(size_t(n) * 3 + 1);
      memcpy(xyz.data(), in.Take(size, "the points"), size);
      ConvertBigEndianWords(xyz.data(), int(n * 3));
      points.reserve(points.size() + n);
      for (uint32_t k = 0; k < n; ++k) {
        MassPoint p;
        p.position = {xyz[3 * k] * scale + offsetX, xyz[3 * k + 1] * scale + offsetY,
                      xyz[3 * k + 2] * scale + offsetZ};
        // One NaN or infinity would spread through the springs to the whole body.
        if (!std::isfinite(p.position.x) || !std::isfinite(p.position.y) ||
            !std::isfinite(p.position.z))
          LoaderFatalf("%s: PNTS chunk at offset %zu: point %u is not at a finite position", name,
                       chunkOffset, k);
        p.mass = pointMass;
        p.inverseMass = pointMass != 0 ? 1.0f / pointMass : 0.0f;
        points.push_back(p);
      }
    } else if (tag == Tag("POLS")) {
      in.U32("the polygon type");  // every polygon type is read the same way
      while (in.pos < in.end) {
        const int count = in.U16("a vertex count") & 0x3FF;
        uint32_t index[3] = {0, 0, 0};
        for (int v = 0; v < count; ++v) {
          uint32_t i = in.Index("a polygon");
          if (v < 3) index[v] = i;
        }
        if (count != 3) continue;  // only triangles are simulated
        for (uint32_t i : index)
          if (i >= points.size())
            LoaderFatalf("%s: POLS chunk at offset %zu: triangle index %u addresses no loaded "
                         "point (%zu points)", name, chunkOffset, i, points.size());
        Triangle t;
        for (int v = 0; v < 3; ++v) t.points[v] = int(index[v]);
        triangles.push_back(t);
        edges.Offer(t.points[0], t.points[1], stiffness, damping);
        edges.Offer(t.points[1], t.points[2], stiffness, damping);
        edges.Offer(t.points[2], t.points[0], stiffness, damping);
      }
    } else if (tag == Tag("VMAP")) {
      const uint32_t type = in.U32("the map type");
      const int dimension = in.U16("the map dimension");
      const std::string mapName = in.Name("the map name");
      const bool isWeightMap =
          mapName == "Bone01" && (type == Tag("WGHT") || previousWasWeightMap);
      previousWasWeightMap = isWeightMap;
      // Only this map's entries: those of earlier maps were applied (and
      // checked) with their own chunk, and applying them again would give
      // the same weights at a cost that grows with the square of the maps.
      weights.clear();
      while (in.pos < in.end) {
        const uint32_t index = in.Index("a map entry");
        for (int d = 0; d < dimension; ++d) {
          const float value = in.F32("a map entry");
          if (isWeightMap) weights.push_back({float(index), value, 0.0f});
        }
      }
      for (const WeightEntry& w : weights) {
        const size_t index = size_t(w.index);
        if (index >= points.size())
          LoaderFatalf("%s: VMAP chunk at offset %zu: weight index %zu addresses no loaded "
                       "point (%zu points)", name, chunkOffset, index, points.size());
        points[index].weight = w.weight;
      }
    }
    // Every chunk ends where its size says; the parsers above consume it whole.
    byteCount += size;
    pos += size;
  }

  if (!points.empty()) {
    Vec3f sum;
    for (const MassPoint& p : points) sum += p.position;
    const Vec3f centre = sum * float(1.0 / double(points.size()));
    for (MassPoint& p : points) p.position -= centre;
  }
}
