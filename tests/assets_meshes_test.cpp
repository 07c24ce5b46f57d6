// The generated meshes and PPM pictures, read back with a reader of our own
// (and assimp, where installed), so a fault in the writers cannot hide
// behind the same fault in a shared reader.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "tools/assetgen/lwo2_writer.h"

namespace {

using Vec3 = std::array<float, 3>;

// The run directory of this build; KELVANE_RUN_DIR in the environment points
// the tests at another one (the sanitizer build has no assets of its own).
std::string RunDir() {
  const char* dir = getenv("KELVANE_RUN_DIR");
  return dir ? dir : KELVANE_RUN_DIR;
}

std::vector<uint8_t> ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary | std::ios::ate);
  if (!in) return {};
  std::vector<uint8_t> bytes(size_t(in.tellg()));
  in.seekg(0);
  in.read(reinterpret_cast<char*>(bytes.data()), std::streamsize(bytes.size()));
  return bytes;
}

// What the reader makes of an LWO2 file.
struct Lwo2 {
  std::string error;  // empty when the structure is sound
  std::vector<Vec3> points;
  std::vector<std::vector<uint32_t>> polygons;
  std::map<std::string, std::map<uint32_t, float>> weightMaps;
  std::vector<std::string> chunks;
};

// Walks FORM/LWO2 chunk by chunk and decodes PNTS, POLS and WGHT maps,
// checking sizes and padding along the way.
Lwo2 ReadLwo2(const std::vector<uint8_t>& b) {
  Lwo2 out;
  size_t pos = 0;
  auto u2 = [&](size_t at) { return uint32_t(b[at]) << 8 | b[at + 1]; };
  auto u4 = [&](size_t at) { return u2(at) << 16 | u2(at + 2); };
  auto f4 = [&](size_t at) {
    uint32_t v = u4(at);
    float f;
    memcpy(&f, &v, 4);
    return f;
  };
  auto id = [&](size_t at) { return std::string(b.begin() + at, b.begin() + at + 4); };
  auto vx = [&](size_t& at) {
    if (b[at] == 0xFF) {
      uint32_t v = u4(at) & 0xFFFFFF;
      at += 4;
      return v;
    }
    uint32_t v = u2(at);
    at += 2;
    return v;
  };
  if (b.size() < 12 || id(0) != "FORM" || id(8) != "LWO2") return out.error = "not FORM/LWO2", out;
  if (u4(4) != b.size() - 8) return out.error = "FORM size disagrees with the file", out;
  pos = 12;
  while (pos < b.size()) {
    if (pos + 8 > b.size()) return out.error = "truncated chunk header", out;
    std::string tag = id(pos);
    uint32_t size = u4(pos + 4);
    size_t start = pos + 8, end = start + size;
    if (size % 2) return out.error = tag + " has odd size", out;
    if (end > b.size()) return out.error = tag + " runs past the end", out;
    out.chunks.push_back(tag);
    if (tag == "PNTS") {
      for (size_t at = start; at + 12 <= end; at += 12)
        out.points.push_back({f4(at), f4(at + 4), f4(at + 8)});
    } else if (tag == "POLS") {
      if (id(start) != "FACE") return out.error = "POLS is not FACE", out;
      for (size_t at = start + 4; at < end;) {
        uint32_t count = u2(at) & 0x3FF;
        at += 2;
        std::vector<uint32_t> poly;
        for (uint32_t k = 0; k < count; ++k) poly.push_back(vx(at));
        out.polygons.push_back(poly);
        if (at > end) return out.error = "polygon runs past POLS", out;
      }
    } else if (tag == "VMAP" && id(start) == "WGHT") {
      size_t at = start + 6;
      std::string name(reinterpret_cast<const char*>(&b[at]));
      at += name.size() + 1;
      if (at % 2) {
        if (b[at] != 0) return out.error = "map name pad byte is not 0", out;
        ++at;
      }
      auto& map = out.weightMaps[name];
      while (at < end) {
        uint32_t index = vx(at);
        map[index] = f4(at);
        at += 4;
      }
    }
    pos = end;
  }
  return out;
}

// Volume enclosed by the triangles; positive when (b - a) x (c - a) turns outwards.
double EnclosedVolume(const Lwo2& m) {
  double volume = 0;
  for (const auto& p : m.polygons) {
    const Vec3 &a = m.points[p[0]], &b = m.points[p[1]], &c = m.points[p[2]];
    volume += (double(a[0]) * (double(b[1]) * c[2] - double(b[2]) * c[1]) -
               double(a[1]) * (double(b[0]) * c[2] - double(b[2]) * c[0]) +
               double(a[2]) * (double(b[0]) * c[1] - double(b[1]) * c[0])) / 6.0;
  }
  return volume;
}

// Checks that every polygon is a triangle, every undirected edge lies in
// exactly two of them, in opposite directions (closed, consistently wound),
// and that the winding (b - a) x (c - a) encloses positive volume (outwards).
void ExpectClosedOutwardTriangles(const Lwo2& m) {
  std::map<std::pair<uint32_t, uint32_t>, int> directed;
  for (const auto& p : m.polygons) {
    ASSERT_EQ(p.size(), 3u);
    for (uint32_t v : p) ASSERT_LT(v, m.points.size());
    for (int e = 0; e < 3; ++e) directed[{p[e], p[(e + 1) % 3]}]++;
  }
  for (const auto& [edge, count] : directed) {
    EXPECT_EQ(count, 1) << "edge " << edge.first << "-" << edge.second << " repeated";
    EXPECT_EQ(directed.count({edge.second, edge.first}), 1u)
        << "edge " << edge.first << "-" << edge.second << " is on one face only";
  }
  EXPECT_GT(EnclosedVolume(m), 0.0) << "faces turn inwards";
  // The program de-duplicates springs by position: no two points may coincide.
  std::set<Vec3> distinct(m.points.begin(), m.points.end());
  EXPECT_EQ(distinct.size(), m.points.size());
}

// Whether p lies inside the closed triangles: a ray from p crosses them an
// odd number of times.
bool Inside(const Lwo2& m, const Vec3& p) {
  const double d[3] = {0.3127, 0.8121, 0.4932};
  int crossings = 0;
  for (const auto& t : m.polygons) {
    const Vec3 &a = m.points[t[0]], &b = m.points[t[1]], &c = m.points[t[2]];
    const double e1[3] = {b[0] - a[0], b[1] - a[1], b[2] - a[2]};
    const double e2[3] = {c[0] - a[0], c[1] - a[1], c[2] - a[2]};
    const double h[3] = {d[1] * e2[2] - d[2] * e2[1], d[2] * e2[0] - d[0] * e2[2],
                         d[0] * e2[1] - d[1] * e2[0]};
    const double det = e1[0] * h[0] + e1[1] * h[1] + e1[2] * h[2];
    if (std::fabs(det) < 1e-12) continue;
    const double s[3] = {p[0] - a[0], p[1] - a[1], p[2] - a[2]};
    const double u = (s[0] * h[0] + s[1] * h[1] + s[2] * h[2]) / det;
    const double q[3] = {s[1] * e1[2] - s[2] * e1[1], s[2] * e1[0] - s[0] * e1[2],
                         s[0] * e1[1] - s[1] * e1[0]};
    const double v = (d[0] * q[0] + d[1] * q[1] + d[2] * q[2]) / det;
    const double along = (e2[0] * q[0] + e2[1] * q[1] + e2[2] * q[2]) / det;
    if (u >= 0 && v >= 0 && u + v <= 1 && along > 0) ++crossings;
  }
  return crossings % 2 == 1;
}

// Bounding-box extent per axis.
Vec3 Extent(const std::vector<Vec3>& points) {
  Vec3 lo = points[0], hi = points[0];
  for (const Vec3& p : points)
    for (int k = 0; k < 3; ++k) lo[k] = std::min(lo[k], p[k]), hi[k] = std::max(hi[k], p[k]);
  return {hi[0] - lo[0], hi[1] - lo[1], hi[2] - lo[2]};
}

// Loads a generated file or skips the test (the sanitizer build has no assets).
#define LOAD_ASSET(var, name)                                                 \
  std::string var##Path = RunDir() + "/" + name;                              \
  if (!std::filesystem::exists(var##Path)) {                                  \
    GTEST_SKIP() << "no " << var##Path;                                       \
  }                                                                           \
  std::vector<uint8_t> var = ReadBytes(var##Path)

TEST(Lwo2Writer, RoundTripsLargeIndicesOddNamesAndWeights) {
  // Enough points that indices need the 4-byte form, and a 5-letter map name
  // (6 bytes with its NUL, no pad) next to a 4-letter surface (5, one pad).
  assetgen::Lwo2Mesh mesh;
  const uint32_t n = 0xFF00 + 4;
  for (uint32_t i = 0; i < n; ++i) mesh.points.push_back({float(i), float(i % 7), -float(i)});
  mesh.triangles = {{0, 1, 2}, {n - 1, 5, n - 3}, {0xFEFF, 0xFF00, 0xFF01}};
  mesh.weights.assign(n, 0.25f);
  mesh.weights[n - 1] = 1.0f;
  mesh.weightMapName = "Bone1";
  mesh.surfaceName = "Skin";
  Lwo2 m = ReadLwo2(assetgen::EncodeLwo2(mesh));
  ASSERT_EQ(m.error, "");
  ASSERT_EQ(m.points.size(), n);
  EXPECT_EQ(m.points[n - 1], mesh.points[n - 1]);
  ASSERT_EQ(m.polygons.size(), 3u);
  EXPECT_EQ(m.polygons[1], (std::vector<uint32_t>{n - 1, 5, n - 3}));
  EXPECT_EQ(m.polygons[2], (std::vector<uint32_t>{0xFEFF, 0xFF00, 0xFF01}));
  ASSERT_EQ(m.weightMaps.count("Bone1"), 1u);
  EXPECT_EQ(m.weightMaps["Bone1"].size(), n);
  EXPECT_EQ(m.weightMaps["Bone1"][n - 1], 1.0f);
  EXPECT_EQ(m.chunks, (std::vector<std::string>{"TAGS", "LAYR", "PNTS", "BBOX", "VMAP", "POLS",
                                                "PTAG", "SURF"}));
  // Without weights there is no map at all.
  mesh.weights.clear();
  EXPECT_TRUE(ReadLwo2(assetgen::EncodeLwo2(mesh)).weightMaps.empty());
}

// A tendon is a triangle with a repeated corner: (skin point, bone point, bone point).
bool IsTendon(const std::vector<uint32_t>& p) {
  return p.size() == 3 && p[1] == p[2] && p[0] != p[1];
}

TEST(SoftBodyMesh, ClosedSkinTiedToThePinnedBoneSmallEnoughForTheSwell) {
  LOAD_ASSET(bytes, "Objects/obj4flak1bone.lwo");
  Lwo2 m = ReadLwo2(bytes);
  ASSERT_EQ(m.error, "");
  const size_t n = m.points.size(), pinned = n / 5;
  ASSERT_GE(n, 200u);
  EXPECT_LE(n, 1000u) << "the physics step must stay cheap";

  // The skin is closed and turned outwards; every tendon runs from a skin
  // point to a point of the bone, which is the pinned first fifth.
  Lwo2 skin;
  skin.points = m.points;
  std::vector<int> tendons(n, 0);
  for (const auto& p : m.polygons) {
    if (!IsTendon(p)) {
      for (uint32_t v : p) EXPECT_GE(v, pinned) << "the bone is part of the skin";
      skin.polygons.push_back(p);
      continue;
    }
    ASSERT_LT(p[0], n);
    EXPECT_GE(p[0], pinned) << "a tendon starts on the bone";
    EXPECT_LT(p[1], pinned) << "a tendon ends off the bone";
    ++tendons[p[0]];
  }
  ExpectClosedOutwardTriangles(skin);
  for (size_t i = pinned; i < n; ++i) EXPECT_GE(tendons[i], 3) << "skin point " << i << " hangs loose";
  for (size_t i = 0; i < pinned; ++i) EXPECT_TRUE(Inside(skin, m.points[i])) << "bone point " << i;

  // In the scene (scale 0.05, centred on the mean of all points): the swell
  // scales the body by up to 3.25 while the camera comes within 1.17 units of
  // its centre, so the breathing body must stay well inside that; much
  // smaller, and the gas pressure, which grows as the volume shrinks, tears it.
  Vec3 mean = {0, 0, 0};
  for (const Vec3& p : m.points)
    for (int k = 0; k < 3; ++k) mean[k] += p[k] / float(n);
  float reach = 0;
  for (size_t i = pinned; i < n; ++i)
    reach = std::max(reach, std::sqrt(float(std::pow(m.points[i][0] - mean[0], 2) +
                                            std::pow(m.points[i][1] - mean[1], 2) +
                                            std::pow(m.points[i][2] - mean[2], 2))));
  EXPECT_LT(reach * 0.05f, 0.85f);
  Vec3 size = Extent(std::vector<Vec3>(m.points.begin() + long(pinned), m.points.end()));
  for (int k = 0; k < 3; ++k) EXPECT_GT(size[k] * 0.05f, 1.2f) << "axis " << k;
  const double volume = EnclosedVolume(skin) * 0.05 * 0.05 * 0.05;
  EXPECT_GT(volume, 0.8);
  EXPECT_LT(volume, 1.6);

  // The program reads the weights of "Bone01" as inverse masses: every skin
  // point moves, stiff at the base and soft at the crown.
  ASSERT_EQ(m.weightMaps.count("Bone01"), 1u);
  const auto& w = m.weightMaps["Bone01"];
  ASSERT_EQ(w.size(), n);
  double low = 0, high = 0;
  size_t lowCount = 0, highCount = 0;
  for (size_t i = pinned; i < n; ++i) {
    const float weight = w.at(uint32_t(i));
    EXPECT_GT(weight, 0.0f) << "skin point " << i << " would be frozen";
    EXPECT_LE(weight, 1.0f);
    const float y = m.points[i][1] - mean[1];
    if (y < -0.5f * size[1] / 2) low += weight, ++lowCount;
    if (y > 0.5f * size[1] / 2) high += weight, ++highCount;
  }
  ASSERT_GT(lowCount * highCount, 0u);
  EXPECT_GT(high / double(highCount), low / double(lowCount) + 0.3);
}

TEST(HeadMesh, ClosedLowPolyAboutThreeUnitsTall) {
  LOAD_ASSET(bytes, "Objects/glowa32.lwo");
  Lwo2 m = ReadLwo2(bytes);
  ASSERT_EQ(m.error, "");
  ExpectClosedOutwardTriangles(m);
  EXPECT_GE(m.polygons.size(), 200u);
  EXPECT_LE(m.polygons.size(), 1000u);
  Vec3 size = Extent(m.points);
  EXPECT_GT(size[1] * 0.7f, 2.5f);
  EXPECT_LT(size[1] * 0.7f, 3.5f);
}

TEST(GeneratedMeshes, AssimpReadsTheSameCounts) {
  for (const char* name : {"Objects/obj4flak1bone.lwo", "Objects/glowa32.lwo"}) {
    LOAD_ASSET(bytes, name);
    if (system("command -v assimp > /dev/null 2>&1") != 0) GTEST_SKIP() << "assimp not installed";
    Lwo2 m = ReadLwo2(bytes);
    FILE* pipe = popen(("assimp info '" + bytesPath + "' 2>&1").c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    std::string text;
    char buf[4096];
    while (size_t got = fread(buf, 1, sizeof buf, pipe)) text.append(buf, got);
    pclose(pipe);
    long vertices = -1, faces = -1;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
      if (line.rfind("Vertices:", 0) == 0) vertices = atol(line.c_str() + 9);
      if (line.rfind("Faces:", 0) == 0) faces = atol(line.c_str() + 6);
      if (line.rfind("Primitive Types:", 0) == 0) {
        EXPECT_NE(line.find("triangles"), std::string::npos) << line;
      }
    }
    // Tendons (triangles with a repeated corner) come back as lines, with
    // vertices of their own: only the skin's points must all be there.
    const bool tendons = std::any_of(m.polygons.begin(), m.polygons.end(), IsTendon);
    if (tendons)
      EXPECT_GE(vertices, long(m.points.size())) << name << "\n" << text;
    else
      EXPECT_EQ(vertices, long(m.points.size())) << name << "\n" << text;
    EXPECT_EQ(faces, long(m.polygons.size())) << name << "\n" << text;
  }
}

// Reads a plain PPM as the program does: four header lines, then samples.
struct Ppm {
  std::vector<std::string> header;
  std::vector<int> samples;
  bool allNumbers = true;
};

Ppm ReadPlainPpm(const std::vector<uint8_t>& bytes) {
  Ppm p;
  std::string text(bytes.begin(), bytes.end());
  size_t pos = 0;
  for (int i = 0; i < 4 && pos < text.size(); ++i) {
    size_t nl = text.find('\n', pos);
    if (nl == std::string::npos) nl = text.size();
    p.header.push_back(text.substr(pos, nl - pos));
    pos = nl + 1;
  }
  const char* c = text.c_str() + std::min(pos, text.size());
  p.samples.reserve(bytes.size() / 3);
  while (*c) {
    while (*c == ' ' || *c == '\n') ++c;
    if (!*c) break;
    char* end;
    long v = strtol(c, &end, 10);
    if (end == c || (*end && *end != ' ' && *end != '\n')) {
      p.allNumbers = false;
      break;
    }
    p.samples.push_back(int(v));
    c = end;
  }
  return p;
}

TEST(ParticlePictures, PlainPpmWithFourHeaderLinesAndAllSamples) {
  struct Picture {
    const char* name;
    int w, h;
  };
  for (Picture pic : {Picture{"data/traffic_01_halftone.ppm", 640, 320},
                      Picture{"data/gfx_floppy_tlo.ppm", 1280, 720},
                      Picture{"data/gfx_ld1.ppm", 1280, 720}}) {
    SCOPED_TRACE(pic.name);
    LOAD_ASSET(bytes, pic.name);
    Ppm p = ReadPlainPpm(bytes);
    ASSERT_EQ(p.header.size(), 4u);
    EXPECT_EQ(p.header[0], "P3");
    EXPECT_EQ(p.header[1].rfind("# ", 0), 0u) << p.header[1];
    EXPECT_EQ(p.header[2], std::to_string(pic.w) + " " + std::to_string(pic.h));
    EXPECT_EQ(p.header[3], "255");
    EXPECT_TRUE(p.allNumbers);
    ASSERT_EQ(p.samples.size(), size_t(pic.w) * pic.h * 3);
    EXPECT_GE(*std::min_element(p.samples.begin(), p.samples.end()), 0);
    EXPECT_LE(*std::max_element(p.samples.begin(), p.samples.end()), 255);

    if (pic.w != 640) continue;
    // Obstacles: a real share of the cells, but open water at both ends
    // for the inflow and outflow.
    size_t blocked = 0;
    bool edgesOpen = true;
    for (int y = 0; y < pic.h; ++y) {
      for (int x = 0; x < pic.w; ++x) {
        bool wall = p.samples[(size_t(y) * pic.w + x) * 3] != 0;
        blocked += wall;
        if (wall && (x < 32 || x >= pic.w - 32)) edgesOpen = false;
      }
    }
    EXPECT_TRUE(edgesOpen);
    EXPECT_GT(blocked, size_t(pic.w) * pic.h / 50);
    EXPECT_LT(blocked, size_t(pic.w) * pic.h / 4);
  }
}

TEST(AssetGeneration, TwoRunsWriteTheSameBytes) {
  std::string tool = KELVANE_ASSETGEN;
  if (tool.empty() || !std::filesystem::exists(tool)) GTEST_SKIP() << "no asset generator here";
  std::string base = ::testing::TempDir() + "/k12-meshes-determinism";
  std::filesystem::remove_all(base);
  for (const char* run : {"a", "b"}) {
    for (const char* kind : {"meshes", "ppm"}) {
      std::string cmd = "'" + tool + "' --kind " + kind + " --out '" + base + "/" + run +
                        "' --work '" + base + "/work' > /dev/null 2>&1";
      ASSERT_EQ(system(cmd.c_str()), 0) << cmd;
    }
  }
  for (const char* name : {"Objects/obj4flak1bone.lwo", "Objects/glowa32.lwo",
                           "data/traffic_01_halftone.ppm", "data/gfx_floppy_tlo.ppm",
                           "data/gfx_ld1.ppm"}) {
    std::vector<uint8_t> a = ReadBytes(base + "/a/" + name), b = ReadBytes(base + "/b/" + name);
    EXPECT_FALSE(a.empty()) << name;
    EXPECT_TRUE(a == b) << name << " differs between runs";
  }
  std::filesystem::remove_all(base);
}

}  // namespace
