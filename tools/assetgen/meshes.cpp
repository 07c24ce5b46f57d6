// The two meshes of the show, built from code and written as LWO2:
//  - Objects/obj4flak1bone.lwo: the pressurised soft body, a ribbed bulb of
//    skin on an icosphere tied by tendons to an inner bone; the bone's points
//    come first in the list, so they are the first fifth the program pins, and
//    a "Bone01" weight map makes the skin stiff at the base and soft at the crown;
//  - Objects/glowa32.lwo: a stylised low-poly head, drawn only as its edges.
// The skin and the head are closed triangle meshes whose faces turn
// (b - a) x (c - a) outwards, the orientation the program's normals and
// lighting expect. A tendon is a triangle with a repeated corner (skin, bone,
// bone): LWO2 has no edges of its own and the program makes a spring of every
// triangle edge, and a triangle without area carries no gas pressure and adds
// nothing to the volume, so it is a spring and nothing else.
// A wireframe preview of both goes to WORKDIR/meshes_preview.png.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "tools/assetgen/assetgen.h"
#include "tools/assetgen/lwo2_writer.h"

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wunused-function"
#define STB_IMAGE_WRITE_STATIC
#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb/stb_image_write.h>
#pragma GCC diagnostic pop

namespace assetgen {
namespace {

// Soft body, in file units (the program scales it by 0.05).
// The swell scales the body by up to 3.25 while the orbit camera comes to
// 1.2 scene units of its centre: 1.5 units across keeps the camera outside.
// The gas force grows as the volume shrinks, so a free skin that small would
// be blown up against the stretch limiter: the tendons hold it.
constexpr float kBodyRadius = 14.0f;        // 28 units across, 30 with the crown -> 1.5 in the scene
constexpr int kBodySubdivisions = 3;        // icosphere level: 642 skin points, 1280 faces
constexpr float kBodyBaseSquash = 0.82f;    // lower half flattened towards the base
constexpr float kBodyCrownStretch = 1.12f;  // upper half drawn up towards the tip
constexpr float kBodyTipTaper = 0.55f;      // how much the crown narrows into a tip
constexpr int kBodyRibs = 7;                // lobes around the vertical axis
constexpr float kBodyRibDepth = 0.07f;      // lobe depth, fraction of the radius
constexpr float kBodyLean = 0.12f;          // sideways bend of the crown, fraction of radius
// The bone: one point for every four of skin (so the bone is exactly the
// pinned first fifth), set inside the skin along its normal.
constexpr float kBoneDepth = 0.5f;          // fraction of the radius below the skin
// Tendons from each skin point to the bone points nearest below it: with four
// the body breathes by 1.0 to 1.4 times its rest volume at 20 to 240 frames
// per second; with none the pressure pulse blows it up.
constexpr int kTendonsPerPoint = 4;
// "Bone01" weights (inverse masses): 0 on the bone, rising on the skin from
// kWeightStiff at the base to kWeightSoft at the crown; the rib valleys are
// softer than the crests by kWeightRibSoftening.
constexpr float kWeightStiff = 0.25f;
constexpr float kWeightSoft = 1.0f;
constexpr float kWeightRibSoftening = 0.15f;

// Head, in file units (the program scales it by 0.7).
constexpr int kHeadSegments = 18;        // points around each ring
constexpr int kHeadRings = 11;           // rings from the crown down to the jaw
constexpr float kHeadMaxLatitude = 0.8f; // lowest head ring, fraction of pi from the top
constexpr float kHeadHalfWidth = 1.3f;
constexpr float kHeadHalfHeight = 1.9f;
constexpr float kHeadHalfDepth = 1.55f;
constexpr float kJawTaper = 0.4f;        // narrowing of the jaw at the lowest ring
constexpr float kNoseLength = 0.4f;
constexpr float kNeckRadius = 0.62f;
constexpr float kNeckBack = -0.3f;       // neck centre behind the face centre
constexpr float kNeckBottom = -2.45f;

constexpr float kPi = 3.14159265358979f;

using Vec3 = std::array<float, 3>;
using Tri = std::array<uint32_t, 3>;

struct Mesh {
  std::vector<Vec3> points;
  std::vector<Tri> triangles;
};

// Clamped cubic step from 0 at e0 to 1 at e1.
float SmoothStep(float e0, float e1, float x) {
  float t = std::min(1.0f, std::max(0.0f, (x - e0) / (e1 - e0)));
  return t * t * (3.0f - 2.0f * t);
}

// Signed volume enclosed by the mesh; positive when faces turn outwards.
double SignedVolume(const Mesh& m) {
  double v = 0;
  for (const Tri& t : m.triangles) {
    const Vec3 &a = m.points[t[0]], &b = m.points[t[1]], &c = m.points[t[2]];
    v += (double(a[0]) * (double(b[1]) * c[2] - double(b[2]) * c[1]) -
          double(a[1]) * (double(b[0]) * c[2] - double(b[2]) * c[0]) +
          double(a[2]) * (double(b[0]) * c[1] - double(b[1]) * c[0])) / 6.0;
  }
  return v;
}

// Reverses every face when the mesh encloses negative volume.
void OrientOutwards(Mesh& m) {
  if (SignedVolume(m) < 0)
    for (Tri& t : m.triangles) std::swap(t[1], t[2]);
}

// Unit icosphere: an icosahedron whose faces are split in four `levels`
// times, new points pushed out to the sphere. Faces turn outwards.
Mesh Icosphere(int levels) {
  const float g = (1.0f + std::sqrt(5.0f)) / 2.0f;
  Mesh m;
  m.points = {{-1, g, 0}, {1, g, 0}, {-1, -g, 0}, {1, -g, 0}, {0, -1, g}, {0, 1, g},
              {0, -1, -g}, {0, 1, -g}, {g, 0, -1}, {g, 0, 1}, {-g, 0, -1}, {-g, 0, 1}};
  m.triangles = {{0, 11, 5}, {0, 5, 1},  {0, 1, 7},   {0, 7, 10}, {0, 10, 11},
                 {1, 5, 9},  {5, 11, 4}, {11, 10, 2}, {10, 7, 6}, {7, 1, 8},
                 {3, 9, 4},  {3, 4, 2},  {3, 2, 6},   {3, 6, 8},  {3, 8, 9},
                 {4, 9, 5},  {2, 4, 11}, {6, 2, 10},  {8, 6, 7},  {9, 8, 1}};
  auto normalise = [](Vec3 p) {
    float l = std::sqrt(p[0] * p[0] + p[1] * p[1] + p[2] * p[2]);
    return Vec3{p[0] / l, p[1] / l, p[2] / l};
  };
  for (Vec3& p : m.points) p = normalise(p);
  for (int level = 0; level < levels; ++level) {
    std::map<std::pair<uint32_t, uint32_t>, uint32_t> midpoints;
    auto midpoint = [&](uint32_t a, uint32_t b) {
      auto key = std::make_pair(std::min(a, b), std::max(a, b));
      auto it = midpoints.find(key);
      if (it != midpoints.end()) return it->second;
      const Vec3 &p = m.points[a], &q = m.points[b];
      m.points.push_back(normalise({p[0] + q[0], p[1] + q[1], p[2] + q[2]}));
      uint32_t index = uint32_t(m.points.size() - 1);
      midpoints[key] = index;
      return index;
    };
    std::vector<Tri> split;
    for (const Tri& t : m.triangles) {
      uint32_t ab = midpoint(t[0], t[1]), bc = midpoint(t[1], t[2]), ca = midpoint(t[2], t[0]);
      split.push_back({t[0], ab, ca});
      split.push_back({t[1], bc, ab});
      split.push_back({t[2], ca, bc});
      split.push_back({ab, bc, ca});
    }
    m.triangles = split;
  }
  OrientOutwards(m);
  return m;
}

// Position of the unit-sphere direction d on the bulb, in file units.
// Each step (radial ribs, vertical scaling, crown taper, lean) maps the
// sphere one-to-one, so the surface stays free of self-intersections.
Vec3 BulbPoint(const Vec3& d) {
  float azimuth = std::atan2(d[0], d[2]);
  float y = d[1];
  float r = 1.0f + kBodyRibDepth * std::cos(kBodyRibs * azimuth) * (1.0f - y * y);
  float px = d[0] * r, py = y * r, pz = d[2] * r;
  py *= (py < 0 ? kBodyBaseSquash : kBodyCrownStretch);
  float taper = 1.0f - kBodyTipTaper * SmoothStep(0.15f, 1.2f, py);
  px *= taper;
  pz *= taper;
  px += kBodyLean * std::max(0.0f, py) * std::max(0.0f, py);
  return {px * kBodyRadius, py * kBodyRadius, pz * kBodyRadius};
}

Vec3 Sub(const Vec3& a, const Vec3& b) { return {a[0] - b[0], a[1] - b[1], a[2] - b[2]}; }
Vec3 CrossOf(const Vec3& a, const Vec3& b) {
  return {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
}
Vec3 Unit(const Vec3& a) {
  float l = std::sqrt(a[0] * a[0] + a[1] * a[1] + a[2] * a[2]);
  return {a[0] / l, a[1] / l, a[2] / l};
}
float DistanceSquared(const Vec3& a, const Vec3& b) {
  Vec3 d = Sub(a, b);
  return d[0] * d[0] + d[1] * d[1] + d[2] * d[2];
}

// Outward unit normal of the bulb at the unit direction d, from the bulb
// points a small step either way along two tangents.
Vec3 BulbNormal(const Vec3& d) {
  Vec3 t1 = Unit(CrossOf(d, std::fabs(d[1]) < 0.9f ? Vec3{0, 1, 0} : Vec3{1, 0, 0}));
  Vec3 t2 = CrossOf(d, t1);
  const float e = 1e-3f;
  auto at = [&](float u, float v) {
    return BulbPoint(Unit({d[0] + u * t1[0] + v * t2[0], d[1] + u * t1[1] + v * t2[1],
                           d[2] + u * t1[2] + v * t2[2]}));
  };
  Vec3 n = Unit(CrossOf(Sub(at(e, 0), at(-e, 0)), Sub(at(0, e), at(0, -e))));
  Vec3 p = BulbPoint(d);
  if (n[0] * p[0] + n[1] * p[1] + n[2] * p[2] < 0) n = {-n[0], -n[1], -n[2]};
  return n;
}

// The point kBoneDepth x radius below the bulb surface at direction d.
Vec3 BelowSkin(const Vec3& d) {
  Vec3 p = BulbPoint(d), n = BulbNormal(d);
  float depth = kBoneDepth * kBodyRadius;
  return {p[0] - depth * n[0], p[1] - depth * n[1], p[2] - depth * n[2]};
}

// The soft body: the bone's points first (spread evenly by a Fibonacci
// spiral of directions), then the skin; tendons from every skin point to the
// bone points nearest to the point below it, so that each skin point is held
// along its normal and a little to every side.
Lwo2Mesh BuildSoftBody() {
  Mesh skin = Icosphere(kBodySubdivisions);
  const size_t skinCount = skin.points.size();
  const size_t boneCount = skinCount / 4;  // (skin + bone) / 5 = bone: the pinned fifth
  std::vector<Vec3> directions = skin.points;
  std::vector<float> rib(skinCount);
  for (size_t i = 0; i < skinCount; ++i) {
    rib[i] = std::cos(kBodyRibs * std::atan2(directions[i][0], directions[i][2]));
    skin.points[i] = BulbPoint(directions[i]);
  }
  OrientOutwards(skin);

  Lwo2Mesh out;
  for (size_t i = 0; i < boneCount; ++i) {
    float y = 1.0f - 2.0f * (float(i) + 0.5f) / float(boneCount);
    float r = std::sqrt(1.0f - y * y), a = float(i) * 2.39996323f;  // the golden angle
    out.points.push_back(BelowSkin({r * std::sin(a), y, r * std::cos(a)}));
  }
  out.points.insert(out.points.end(), skin.points.begin(), skin.points.end());
  for (const Tri& t : skin.triangles)
    out.triangles.push_back({uint32_t(boneCount + t[0]), uint32_t(boneCount + t[1]),
                             uint32_t(boneCount + t[2])});
  for (size_t i = 0; i < skinCount; ++i) {
    Vec3 below = BelowSkin(directions[i]);
    std::vector<std::pair<float, uint32_t>> nearest;
    for (size_t b = 0; b < boneCount; ++b)
      nearest.push_back({DistanceSquared(below, out.points[b]), uint32_t(b)});
    std::partial_sort(nearest.begin(), nearest.begin() + kTendonsPerPoint, nearest.end());
    for (int k = 0; k < kTendonsPerPoint; ++k)
      out.triangles.push_back({uint32_t(boneCount + i), nearest[k].second, nearest[k].second});
  }

  float base = skin.points[0][1], crown = base;
  for (const Vec3& p : skin.points) base = std::min(base, p[1]), crown = std::max(crown, p[1]);
  out.weights.assign(boneCount, 0.0f);
  for (size_t i = 0; i < skinCount; ++i) {
    float h = SmoothStep(base, crown, skin.points[i][1]);
    float w = kWeightStiff + (kWeightSoft - kWeightStiff) * h;
    w *= 1.0f - kWeightRibSoftening * 0.5f * (1.0f + rib[i]);
    out.weights.push_back(std::min(1.0f, std::max(0.0f, w)));
  }
  out.surfaceName = "Flesh";
  out.surfaceColour = {0.8f, 0.09f, 0.1f};
  return out;
}

// Gaussian bump of the head surface around (phi0, theta0), angles in radians.
float Bump(float phi, float theta, float phi0, float theta0, float phiWidth, float thetaWidth) {
  float u = (phi - phi0) / phiWidth, v = (theta - theta0) / thetaWidth;
  return std::exp(-u * u - v * v);
}

// One ring of the head at latitude theta (0 at the crown), in file units.
// The face looks along +z: an ellipsoid with a tapering jaw, a nose ridge,
// a brow, eye sockets, a chin and a fuller back of the skull.
std::vector<Vec3> HeadRing(float theta) {
  std::vector<Vec3> ring;
  float jaw = SmoothStep(0.45f * kPi, kHeadMaxLatitude * kPi, theta);
  // Sides fall more steeply than an ellipsoid's below the eyes: cheeks and jaw.
  float s = std::pow(std::sin(theta), theta > 0.5f * kPi ? 0.55f : 0.9f), c = std::cos(theta);
  for (int j = 0; j < kHeadSegments; ++j) {
    float phi = 2.0f * kPi * j / kHeadSegments;  // 0 faces +z
    float wrapped = phi > kPi ? phi - 2.0f * kPi : phi;
    float front = std::max(0.0f, std::cos(phi));
    float back = std::max(0.0f, -std::cos(phi));
    float r = 1.0f - 0.08f * front * front;  // flatter face
    r += kNoseLength / kHeadHalfDepth * Bump(wrapped, theta, 0.0f, 0.56f * kPi, 0.3f, 0.12f);
    r += 0.1f * std::pow(front, 4.0f) * Bump(0.0f, theta, 0.0f, 0.41f * kPi, 1.0f, 0.08f);
    for (float eye : {-0.4f, 0.4f}) r -= 0.1f * Bump(wrapped, theta, eye, 0.47f * kPi, 0.2f, 0.1f);
    r += 0.15f * Bump(wrapped, theta, 0.0f, 0.76f * kPi, 0.35f, 0.08f);  // chin
    r += 0.12f * back * std::max(0.0f, c);                                // back of the skull
    float x = kHeadHalfWidth * s * std::sin(phi) * r * (1.0f - kJawTaper * jaw);
    float z = kHeadHalfDepth * s * std::cos(phi) * r * (1.0f - 0.45f * jaw * back);
    float y = kHeadHalfHeight * c;
    ring.push_back({x, y, z});
  }
  return ring;
}

// One ring of the neck at height y.
std::vector<Vec3> NeckRing(float y) {
  std::vector<Vec3> ring;
  for (int j = 0; j < kHeadSegments; ++j) {
    float phi = 2.0f * kPi * j / kHeadSegments;
    ring.push_back({kNeckRadius * std::sin(phi), y, kNeckBack + kNeckRadius * std::cos(phi)});
  }
  return ring;
}

// The head: a crown point, rings down the head and neck, a bottom point;
// neighbouring rings joined by quads split into two triangles.
Lwo2Mesh BuildHead() {
  Mesh m;
  m.points.push_back({0.0f, kHeadHalfHeight, 0.0f});
  std::vector<std::vector<Vec3>> rings;
  for (int k = 1; k <= kHeadRings; ++k)
    rings.push_back(HeadRing(kHeadMaxLatitude * kPi * k / kHeadRings));
  float jawY = rings.back()[0][1];
  for (float t : {0.25f, 0.6f, 1.0f}) rings.push_back(NeckRing(jawY + (kNeckBottom - jawY) * t));
  for (const auto& ring : rings) m.points.insert(m.points.end(), ring.begin(), ring.end());
  m.points.push_back({0.0f, kNeckBottom, kNeckBack});

  const uint32_t n = kHeadSegments;
  auto at = [n](size_t ring, uint32_t j) { return uint32_t(1 + ring * n + j % n); };
  for (uint32_t j = 0; j < n; ++j) m.triangles.push_back({0, at(0, j), at(0, j + 1)});
  for (size_t k = 0; k + 1 < rings.size(); ++k) {
    for (uint32_t j = 0; j < n; ++j) {
      m.triangles.push_back({at(k, j), at(k + 1, j), at(k + 1, j + 1)});
      m.triangles.push_back({at(k, j), at(k + 1, j + 1), at(k, j + 1)});
    }
  }
  uint32_t bottom = uint32_t(m.points.size() - 1);
  for (uint32_t j = 0; j < n; ++j)
    m.triangles.push_back({bottom, at(rings.size() - 1, j + 1), at(rings.size() - 1, j)});
  OrientOutwards(m);

  Lwo2Mesh out;
  out.points = m.points;
  out.triangles = m.triangles;
  out.surfaceName = "Wire";
  out.surfaceColour = {1.0f, 0.94f, 0.86f};
  return out;
}

// Greyscale-on-black canvas for the wireframe preview.
struct Preview {
  int w, h;
  std::vector<uint8_t> rgb;
  // Plots a line by stepping one pixel at a time along its longer axis.
  void Line(float x0, float y0, float x1, float y1, const uint8_t colour[3]) {
    int steps = int(std::max(std::fabs(x1 - x0), std::fabs(y1 - y0))) + 1;
    for (int i = 0; i <= steps; ++i) {
      float t = float(i) / steps;
      int x = int(std::lround(x0 + (x1 - x0) * t)), y = int(std::lround(y0 + (y1 - y0) * t));
      if (x < 0 || y < 0 || x >= w || y >= h) continue;
      for (int c = 0; c < 3; ++c) rgb[(size_t(y) * w + x) * 3 + c] = colour[c];
    }
  }
};

// Draws every edge of the mesh into one panel of the preview, turned by yaw
// about the vertical axis and tilted a little, fitted to the panel.
void DrawPreviewPanel(Preview& p, const Lwo2Mesh& mesh, int panelX, int panelW, float yaw) {
  Vec3 lo = mesh.points[0], hi = mesh.points[0];
  for (const Vec3& v : mesh.points)
    for (int k = 0; k < 3; ++k) lo[k] = std::min(lo[k], v[k]), hi[k] = std::max(hi[k], v[k]);
  float extent = std::max({hi[0] - lo[0], hi[1] - lo[1], hi[2] - lo[2]});
  float scale = 0.8f * std::min(panelW, p.h) / extent;
  Vec3 mid = {(lo[0] + hi[0]) / 2, (lo[1] + hi[1]) / 2, (lo[2] + hi[2]) / 2};
  float cy = std::cos(yaw), sy = std::sin(yaw), ct = std::cos(0.25f), st = std::sin(0.25f);
  auto project = [&](const Vec3& v, float& sx, float& syOut, float& depth) {
    float x = v[0] - mid[0], y = v[1] - mid[1], z = v[2] - mid[2];
    float rx = cy * x + sy * z, rz = -sy * x + cy * z;
    float ry = ct * y - st * rz;
    depth = st * y + ct * rz;
    sx = panelX + panelW / 2.0f + rx * scale;
    syOut = p.h / 2.0f - ry * scale;
  };
  // Edges of faces turned away from the viewer first in dim grey, then the
  // facing ones over them, tinted from grey (stiff) to red (soft) by weight.
  for (int pass = 0; pass < 2; ++pass) {
    for (const Tri& t : mesh.triangles) {
      float sx[3], sy[3], depth;
      for (int e = 0; e < 3; ++e) project(mesh.points[t[e]], sx[e], sy[e], depth);
      // Screen-space winding: counter-clockwise on screen (y down) faces us.
      float facing = (sx[1] - sx[0]) * (sy[2] - sy[0]) - (sy[1] - sy[0]) * (sx[2] - sx[0]);
      bool front = facing < 0;
      if (front != (pass == 1)) continue;
      for (int e = 0; e < 3; ++e) {
        uint32_t a = t[e], b = t[(e + 1) % 3];
        uint8_t colour[3] = {60, 60, 60};
        if (front) {
          float w = mesh.weights.empty() ? 0.5f : 0.5f * (mesh.weights[a] + mesh.weights[b]);
          colour[0] = uint8_t(200 + 55 * w);
          colour[1] = uint8_t(200 - 170 * w);
          colour[2] = uint8_t(190 - 160 * w);
        }
        p.Line(sx[e], sy[e], sx[(e + 1) % 3], sy[(e + 1) % 3], colour);
      }
    }
  }
}

// Writes the soft body and the head (three-quarter and profile views) side
// by side as a PNG for a look by eye.
bool WritePreview(const std::string& path, const Lwo2Mesh& body, const Lwo2Mesh& head) {
  Preview p{1500, 500, std::vector<uint8_t>(1500 * 500 * 3, 10)};
  DrawPreviewPanel(p, body, 0, 500, 0.4f);
  DrawPreviewPanel(p, head, 500, 500, 0.5f);
  DrawPreviewPanel(p, head, 1000, 500, 0.5f * kPi);
  if (!stbi_write_png(path.c_str(), p.w, p.h, 3, p.rgb.data(), p.w * 3)) {
    fprintf(stderr, "assetgen: cannot write preview %s\n", path.c_str());
    return false;
  }
  return true;
}

}  // namespace

int GenerateMeshes(const std::string& outDir, const std::string& workDir) {
  std::error_code ec;
  std::filesystem::create_directories(outDir + "/Objects", ec);
  if (ec) {
    fprintf(stderr, "assetgen: cannot create %s/Objects: %s\n", outDir.c_str(),
            ec.message().c_str());
    return 1;
  }
  Lwo2Mesh body = BuildSoftBody();
  Lwo2Mesh head = BuildHead();
  fprintf(stderr, "assetgen: soft body %zu points, %zu triangles; head %zu points, %zu triangles\n",
          body.points.size(), body.triangles.size(), head.points.size(), head.triangles.size());
  if (!WriteLwo2(outDir + "/Objects/obj4flak1bone.lwo", body)) return 1;
  if (!WriteLwo2(outDir + "/Objects/glowa32.lwo", head)) return 1;
  if (!WritePreview(workDir + "/meshes_preview.png", body, head)) return 1;
  return 0;
}

}  // namespace assetgen
