// The generated meshes and PPM pictures, read back with a reader of our own,
// so that a fault in the writers cannot hide behind the same fault in a
// shared reader, and checked against the sizes the scenes need.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "tools/assetgen/lwo2_writer.h"

namespace {

using Vec3 = std::array<float, 3>;
using Poly = std::vector<uint32_t>;

std::vector<uint8_t> ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

// What the reader makes of an LWO2 file: empty error when its structure is sound.
struct Lwo2 {
  std::string error;
  std::vector<Vec3> points;
  std::vector<Poly> polygons;
  std::vector<std::string> chunks;
};

Lwo2 ReadLwo2(const std::vector<uint8_t>& b) {
  Lwo2 out;
  auto u2 = [&](size_t at) { return uint32_t(b[at]) << 8 | b[at + 1]; };
  auto u4 = [&](size_t at) { return u2(at) << 16 | u2(at + 2); };
  auto id = [&](size_t at) { return std::string(b.begin() + long(at), b.begin() + long(at) + 4); };
  if (b.size() < 12 || id(0) != "FORM" || id(8) != "LWO2") return out.error = "not LWO2", out;
  if (u4(4) != b.size() - 8) return out.error = "FORM size disagrees with the file", out;
  for (size_t pos = 12; pos < b.size();) {
    if (pos + 8 > b.size()) return out.error = "truncated chunk header", out;
    const std::string tag = id(pos);
    const size_t start = pos + 8, end = start + u4(pos + 4);
    if ((end - start) % 2 || end > b.size()) return out.error = tag + " odd or too long", out;
    out.chunks.push_back(tag);
    for (size_t at = start; tag == "PNTS" && at + 12 <= end; at += 12) {
      Vec3 p;
      for (int k = 0; k < 3; ++k) {
        const uint32_t v = u4(at + 4 * k);
        memcpy(&p[k], &v, 4);
      }
      out.points.push_back(p);
    }
    for (size_t at = start + 4; tag == "POLS" && at < end;) {
      Poly poly(u2(at) & 0x3FF);
      at += 2;
      for (uint32_t& v : poly) {
        v = b[at] == 0xFF ? u4(at) & 0xFFFFFF : u2(at);
        at += b[at] == 0xFF ? 4 : 2;
      }
      out.polygons.push_back(poly);
      if (at > end) return out.error = "polygon runs past POLS", out;
    }
    pos = end;
  }
  return out;
}

// Volume enclosed by the triangles; positive when (b - a) x (c - a) turns outwards.
double EnclosedVolume(const Lwo2& m) {
  double volume = 0;
  for (const Poly& p : m.polygons) {
    const Vec3 &a = m.points[p[0]], &b = m.points[p[1]], &c = m.points[p[2]];
    volume += (double(a[0]) * (double(b[1]) * c[2] - double(b[2]) * c[1]) -
               double(a[1]) * (double(b[0]) * c[2] - double(b[2]) * c[0]) +
               double(a[2]) * (double(b[0]) * c[1] - double(b[1]) * c[0])) /
              6.0;
  }
  return volume;
}

// Every polygon a triangle, every edge in exactly two of them in opposite
// directions (closed, consistently wound), turned outwards, and no two
// points at one place (the program joins springs by position).
void ExpectClosedOutwardTriangles(const Lwo2& m) {
  std::map<std::pair<uint32_t, uint32_t>, int> directed;
  for (const Poly& p : m.polygons) {
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
  EXPECT_EQ(std::set<Vec3>(m.points.begin(), m.points.end()).size(), m.points.size());
}

// Loads a generated file or skips the test (the sanitizer build has no assets).
#define LOAD_ASSET(var, name)                                                  \
  const std::string var##Path = std::string(KELVANE_RUN_DIR) + "/" + (name);   \
  if (!std::filesystem::exists(var##Path)) GTEST_SKIP() << "no " << var##Path; \
  const std::vector<uint8_t> var = ReadBytes(var##Path)

TEST(Lwo2Writer, RoundTripsLargeIndicesAndOddNames) {
  // Enough points that indices need the 4-byte form (from 0xFF00 on), and a
  // 5-letter map name (6 bytes with its NUL, no pad) next to a 4-letter
  // surface (5, one pad).
  assetgen::Lwo2Mesh mesh;
  const uint32_t n = 0xFF00 + 4;
  for (uint32_t i = 0; i < n; ++i) mesh.points.push_back({float(i), float(i % 7), -float(i)});
  mesh.triangles = {{0, 1, 2}, {n - 1, 5, n - 3}, {0xFEFF, 0xFF00, 0xFF01}};
  mesh.weights.assign(n, 0.25f);
  mesh.weightMapName = "Bone1";
  mesh.surfaceName = "Skin";
  Lwo2 m = ReadLwo2(assetgen::EncodeLwo2(mesh));
  ASSERT_EQ(m.error, "");
  ASSERT_EQ(m.points.size(), n);
  EXPECT_EQ(m.points[n - 1], mesh.points[n - 1]);
  EXPECT_EQ(m.polygons,
            (std::vector<Poly>{{0, 1, 2}, {n - 1, 5, n - 3}, {0xFEFF, 0xFF00, 0xFF01}}));
  EXPECT_EQ(m.chunks, (std::vector<std::string>{"TAGS", "LAYR", "PNTS", "BBOX", "VMAP", "POLS",
                                                "PTAG", "SURF"}));
}

// A tendon is a triangle with a repeated corner: (skin point, bone point, bone point).
bool IsTendon(const Poly& p) { return p.size() == 3 && p[1] == p[2] && p[0] != p[1]; }
TEST(SoftBodyMesh, ClosedSkinTiedToThePinnedBoneSmallEnoughForTheSwell) {
  LOAD_ASSET(bytes, "Objects/obj4flak1bone.lwo");
  const Lwo2 m = ReadLwo2(bytes);
  ASSERT_EQ(m.error, "");
  // An icosphere of level 3 (642 points) over a bone of 160: the program
  // pins the first fifth of the points, which must be the bone exactly.
  const size_t n = m.points.size(), pinned = 160;
  ASSERT_EQ(n, 802u);

  // The skin is closed and turned outwards; every skin point is held by at
  // least three tendons, each running to a bone point.
  Lwo2 skin;
  skin.points = m.points;
  std::vector<int> tendons(n, 0);
  for (const Poly& p : m.polygons) {
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
  EXPECT_EQ(skin.polygons.size(), 1280u);
  ExpectClosedOutwardTriangles(skin);
  for (size_t i = pinned; i < n; ++i)
    EXPECT_GE(tendons[i], 3) << "skin point " << i << " hangs loose";

  // In the scene (scale 0.05, centred on the mean of all points) the swell
  // scales the body by up to 3.25 while the camera comes within 1.17 units
  // of its centre: the body must reach less than 0.85 from it, but be more
  // than 1.2 across, or the gas pressure, which grows as the volume
  // shrinks, tears it.
  Vec3 mean = {0, 0, 0};
  for (const Vec3& p : m.points)
    for (int k = 0; k < 3; ++k) mean[k] += p[k] / float(n);
  float reach = 0;
  for (size_t i = pinned; i < n; ++i)
    reach = std::max(reach, std::hypot(m.points[i][0] - mean[0], m.points[i][1] - mean[1],
                                       m.points[i][2] - mean[2]));
  EXPECT_LT(reach * 0.05f, 0.85f);
  for (int k = 0; k < 3; ++k) {
    float lo = INFINITY, hi = -INFINITY;
    for (size_t i = pinned; i < n; ++i) lo = std::min(lo, m.points[i][k]), hi = std::max(hi, m.points[i][k]);
    EXPECT_GT((hi - lo) * 0.05f, 1.2f) << "axis " << k;
  }
  const double volume = EnclosedVolume(skin) * 0.05 * 0.05 * 0.05;
  EXPECT_GT(volume, 0.8);
  EXPECT_LT(volume, 1.6);
}

TEST(HeadMesh, ClosedLowPolyAboutThreeUnitsTall) {
  LOAD_ASSET(bytes, "Objects/glowa32.lwo");
  const Lwo2 m = ReadLwo2(bytes);
  ASSERT_EQ(m.error, "");
  ExpectClosedOutwardTriangles(m);
  EXPECT_TRUE(m.polygons.size() >= 200 && m.polygons.size() <= 1000) << m.polygons.size();
  float lo = INFINITY, hi = -INFINITY;
  for (const Vec3& p : m.points) lo = std::min(lo, p[1]), hi = std::max(hi, p[1]);
  EXPECT_GT((hi - lo) * 0.7f, 2.5f);  // the scene's scale
  EXPECT_LT((hi - lo) * 0.7f, 3.5f);
}

}  // namespace
