// Hand-made LWO2 byte strings for the loader and soft-body tests, and a
// temporary file to load them from.
#pragma once
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>
#include <vector>

namespace lwo2 {
inline std::string Be32(uint32_t v) {
  return {char(v >> 24), char(v >> 16), char(v >> 8), char(v)};
}
inline std::string Be16(uint16_t v) { return {char(v >> 8), char(v)}; }
inline std::string F32(float f) {
  uint32_t bits;
  memcpy(&bits, &f, 4);
  return Be32(bits);
}
// Variable-length index: two bytes below 0xFF00, else 0xFF and 24 bits.
inline std::string Vx(uint32_t i) {
  if (i < 0xFF00) return Be16(uint16_t(i));
  return std::string(1, char(0xFF)) + char(i >> 16) + char(i >> 8) + char(i);
}
// A name with its NUL and, when that makes an odd count, one pad byte.
inline std::string Name(const std::string& s) {
  std::string out = s + '\0';
  if (out.size() % 2) out += '\0';
  return out;
}
inline std::string Chunk(const char* tag, const std::string& data) {
  return std::string(tag, 4) + Be32(uint32_t(data.size())) + data;
}
inline std::string Form(const std::string& chunks) {
  return "FORM" + Be32(uint32_t(chunks.size() + 4)) + "LWO2" + chunks;
}
inline std::string Pnts(const std::vector<float>& xyz) {
  std::string data;
  for (float f : xyz) data += F32(f);
  return Chunk("PNTS", data);
}
inline std::string Pols(const std::vector<std::vector<uint32_t>>& polygons) {
  std::string data = "FACE";
  for (const auto& p : polygons) {
    data += Be16(uint16_t(p.size()));
    for (uint32_t i : p) data += Vx(i);
  }
  return Chunk("POLS", data);
}
struct Weight {
  uint32_t index;
  float value;
};
inline std::string Vmap(const char* type, const std::string& name, const std::vector<Weight>& w) {
  std::string data = std::string(type, 4) + Be16(1) + Name(name);
  for (const Weight& e : w) data += Vx(e.index) + F32(e.value);
  return Chunk("VMAP", data);
}

// A file under the test temp directory holding some bytes; removed at scope end.
class TempFile {
 public:
  explicit TempFile(const std::string& bytes) {
    const char* tmp = getenv("TMPDIR");
    path_ = std::string(tmp && *tmp ? tmp : "/tmp") + "/k12-lwo2-XXXXXX";
    const int fd = mkstemp(path_.data());
    if (fd < 0 || write(fd, bytes.data(), bytes.size()) != ssize_t(bytes.size())) path_.clear();
    if (fd >= 0) close(fd);
  }
  ~TempFile() { unlink(path_.c_str()); }
  const char* path() const { return path_.c_str(); }

 private:
  std::string path_;
};

// An octahedron of radius r, subdivided `levels` times and pushed onto the
// sphere, faces wound counter-clockwise seen from outside, as a LWO2 file.
// Every point gets weight 1 in "Bone01" unless weightAll is false.
std::string SphereLwo(float r, int levels, bool weightAll = true);
}  // namespace lwo2
