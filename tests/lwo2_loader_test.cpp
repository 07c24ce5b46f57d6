// The LWO2 loader: what it reads, what it skips, and how each damaged file
// ends (exit status 1 with a message naming the file and the fault).
#include <gtest/gtest.h>

#include <cmath>
#include <memory>

#include "objects/soft_object.h"
#include "tests/lwo2_bytes.h"

using namespace lwo2;

namespace {
// Loads bytes as a soft body (stiffness 10, damping 2, no pressure).
std::unique_ptr<CSoftObject> Load(const std::string& bytes, float scale = 1, float mass = 1,
                                  float ox = 0, float oy = 0, float oz = 0) {
  TempFile file(bytes);
  return std::make_unique<CSoftObject>(ox, oy, oz, 10.0f, 2.0f, file.path(), 0.0f, scale, mass);
}

const std::vector<float> kTwoTriangles = {0, 0, 0, 1, 0, 0, 0, 1, 0, 1, 1, 0};

TEST(Lwo2Loader, IndexAndNameReaders) {
  const uint8_t longForm[] = {0xFF, 0x00, 0x01, 0x02};
  const uint8_t shortForm[] = {0x01, 0x02};
  uint32_t index = 0;
  EXPECT_EQ(ParseIndex(longForm, 4, &index), 4);
  EXPECT_EQ(index, 258u);
  EXPECT_EQ(ParseIndex(shortForm, 2, &index), 2);
  EXPECT_EQ(index, 258u);
  EXPECT_EQ(ParseIndex(longForm, 3, &index), 0);  // truncated long form

  const char* name = nullptr;
  EXPECT_EQ(ParseName(reinterpret_cast<const uint8_t*>("Bone01\0\0"), 8, &name), 8);
  EXPECT_STREQ(name, "Bone01");
  EXPECT_EQ(ParseName(reinterpret_cast<const uint8_t*>("Bone1\0X"), 7, &name), 6);
  EXPECT_EQ(ParseName(reinterpret_cast<const uint8_t*>("Bone01\0"), 7, &name), 0);  // no pad
  EXPECT_EQ(ParseName(reinterpret_cast<const uint8_t*>("Bone"), 4, &name), 0);       // no NUL

  uint8_t words[8] = {0, 0, 0, 1, 0x3F, 0x80, 0, 0};
  EXPECT_EQ(ConvertBigEndianWords(words, 2), 8);
  uint32_t first;
  float second;
  memcpy(&first, words, 4);
  memcpy(&second, words + 4, 4);
  EXPECT_EQ(first, 1u);
  EXPECT_EQ(second, 1.0f);
}

TEST(Lwo2Loader, SmallFormsAreEmpty) {
  auto body = Load("FORM" + Be32(4) + "LWO2");
  EXPECT_TRUE(body->points.empty());
  body = Load("FORM" + Be32(0) + "LWO2" + Pnts({1, 2, 3}));  // size below 4: nothing walked
  EXPECT_TRUE(body->points.empty());
}

TEST(Lwo2Loader, TrianglesSpringsAndCentring) {
  // Two triangles sharing the edge 1-2; scale and offset applied, then centred.
  auto body = Load(Form(Pnts(kTwoTriangles) + Pols({{0, 1, 2}, {2, 1, 3}})), 2.0f, 0.5f, 7, 8, 9);
  ASSERT_EQ(body->points.size(), 4u);
  ASSERT_EQ(body->triangles.size(), 2u);
  ASSERT_EQ(body->springs.size(), 5u);
  // The shared edge keeps the first triangle's orientation (1 -> 2).
  EXPECT_EQ(body->springs[1].first, 1);
  EXPECT_EQ(body->springs[1].second, 2);
  EXPECT_EQ(body->springs[3].first, 1);  // second triangle: (2,1) dropped, then (1,3), (3,2)
  EXPECT_EQ(body->springs[3].second, 3);
  EXPECT_FLOAT_EQ(body->springs[0].restLength, 2.0f);
  EXPECT_FLOAT_EQ(body->springs[1].maxDeviation, 2.0f * std::sqrt(2.0f));
  EXPECT_EQ(body->springs[1].stretchPercent, 100.0f);
  Vec3f sum;
  for (const MassPoint& p : body->points) sum += p.position;
  EXPECT_NEAR(Length(sum), 0, 1e-5);
  EXPECT_FLOAT_EQ(body->points[3].position.x, 1.0f);  // 2 x 1 + 7, minus the centre 8
  EXPECT_EQ(body->points[3].mass, 0.5f);
}

TEST(Lwo2Loader, OtherPolygonsAndChunksAreSkipped) {
  // A quad between two triangles, a 0xFF-form index, flag bits on the count,
  // and chunks this loader does not read (even and odd sizes).
  std::string pols = "FACE";
  pols += Be16(4) + Vx(0) + Vx(1) + Vx(3) + Vx(2);
  pols += Be16(0xFC03) + std::string("\xFF\x00\x00\x00", 4) + Vx(1) + Vx(2);  // flags set, long index 0
  pols += Be16(3) + Vx(2) + Vx(1) + Vx(3);
  auto body = Load(Form(Chunk("TAGS", Name("Default")) + Chunk("LAYR", std::string(18, '\0')) +
                        Pnts(kTwoTriangles) + Chunk("BBOX", std::string(24, 'b')) +
                        Chunk("POLS", pols) + Chunk("PTAG", "SURF" + Be16(0) + Be16(0)) +
                        Chunk("DESC", "odd") + Chunk("SURF", Name("Default") + Name(""))));
  EXPECT_EQ(body->triangles.size(), 2u);
  EXPECT_EQ(body->springs.size(), 5u);
  EXPECT_EQ(body->triangles[0].points[0], 0);
}

TEST(Lwo2Loader, WeightMapsByTypeAndName) {
  const std::string pnts = Pnts(kTwoTriangles);
  // A WGHT map named Bone01 sets weights and pins by the first fifth (none of 4).
  auto body = Load(Form(pnts + Vmap("WGHT", "Bone01", {{1, 0.5f}, {3, 2.0f}})));
  EXPECT_EQ(body->points[1].weight, 0.5f);
  EXPECT_EQ(body->points[1].inverseMass, 0.5f);
  EXPECT_EQ(body->points[3].inverseMass, 2.0f);
  EXPECT_EQ(body->points[0].inverseMass, 0.0f);  // weight 0: does not move
  // Other names, and other types without a weight map before them, do nothing.
  body = Load(Form(pnts + Vmap("WGHT", "Bone02", {{1, 0.5f}}) + Vmap("PICK", "Bone01", {{1, 1}})));
  for (const MassPoint& p : body->points) EXPECT_EQ(p.weight, 0.0f);
  // After a weight map, a second map named Bone01 counts whatever its type,
  // and entries gathered earlier are applied again.
  body = Load(Form(pnts + Vmap("WGHT", "Bone01", {{0, 0.25f}}) + Vmap("TXUV", "Bone01", {{2, 3}})));
  EXPECT_EQ(body->points[0].weight, 0.25f);
  EXPECT_EQ(body->points[2].weight, 3.0f);
  // An odd-length name (NUL included) is padded; a name of even length is not.
  body = Load(Form(pnts + Vmap("WGHT", "Bone1", {{1, 9}}) + Vmap("WGHT", "Bone01", {{2, 4}})));
  EXPECT_EQ(body->points[1].weight, 0.0f);
  EXPECT_EQ(body->points[2].weight, 4.0f);
}

TEST(Lwo2Loader, SeveralLayersShareOnePointList) {
  // A second PNTS after POLS: its points follow the first ones, and a later
  // POLS addresses them from the start of the list.
  auto body = Load(Form(Pnts({0, 0, 0, 1, 0, 0, 0, 1, 0}) + Pols({{0, 1, 2}}) +
                        Pnts({5, 5, 5, 6, 5, 5, 5, 6, 5}) + Pols({{3, 4, 5}, {0, 1, 5}})));
  EXPECT_EQ(body->points.size(), 6u);
  EXPECT_EQ(body->triangles.size(), 3u);
  EXPECT_EQ(body->springs.size(), 8u);  // 0-1 is shared
  EXPECT_FLOAT_EQ(body->springs[3].restLength, 1.0f);
}

// Each damaged file ends with status 1 and "Error: " and a message naming it.
struct Damaged {
  const char* what;
  std::string bytes;
  const char* message;  // a regular expression the output must match
};

TEST(Lwo2LoaderDeathTest, DamagedFilesEndWithStatusOne) {
  const std::string pnts = Pnts(kTwoTriangles);
  std::string overlong = Form(pnts);
  overlong.replace(16, 4, Be32(4000));  // PNTS size past the FORM
  std::string longForm = Form(pnts);
  longForm.replace(4, 4, Be32(1000));  // FORM size past the file
  const std::string hugeForm = "FORM" + Be32(0x7FFFFFF0) + "LWO2";
  const std::vector<Damaged> cases = {
      {"not IFF", "RIFF" + Be32(4) + "WAVE",
       "Error: Not an IFF file \\(Missing FORM tag\\)\nmesh file: .*k12-lwo2"},
      {"empty file", "", "Error: Not an IFF file \\(Missing FORM tag\\)"},
      {"not LWO2", "FORM" + Be32(4) + "LWOB", "Error: Not a lightwave object \\(Missing LWO2 tag\\)"},
      {"header cut short", "FORM" + Be32(4), "Error: Not a lightwave object"},
      {"FORM past the file", longForm, "Error: .*k12-lwo2.*FORM size 1000 runs past the end"},
      {"FORM beyond any mesh", hugeForm, "Error: .*k12-lwo2.*FORM size 2147483632 is more than"},
      {"infinite point", Form(Pnts({0, 0, 0, 1, INFINITY, 0})),
       "Error: .*k12-lwo2.*PNTS chunk at offset 12: point 1 is not at a finite position"},
      {"chunk past the FORM", overlong, "Error: .*k12-lwo2.*PNTS chunk of 4000 bytes.*past the end"},
      {"half a chunk header", Form(pnts + "TAG"), "Error: .*k12-lwo2.*chunk header at offset 68"},
      {"PNTS not whole points", Form(Chunk("PNTS", std::string(13, '\0'))),
       "Error: .*k12-lwo2.*PNTS chunk at offset 12 has 13 bytes"},
      {"polygon cut by its chunk", Form(pnts + Chunk("POLS", "FACE" + Be16(3) + Vx(0) + Vx(1))),
       "Error: .*k12-lwo2.*end of POLS chunk at offset 68 inside a polygon"},
      {"long index cut", Form(pnts + Chunk("POLS", "FACE" + Be16(1) + std::string("\xFF\x00", 2))),
       "Error: .*end of POLS chunk .* inside a polygon"},
      {"triangle index out of range", Form(pnts + Pols({{0, 1, 4}})),
       "Error: .*k12-lwo2.*triangle index 4 addresses no loaded point \\(4 points\\)"},
      {"triangle before its points", Form(Pols({{0, 1, 2}}) + pnts),
       "Error: .*triangle index 0 addresses no loaded point \\(0 points\\)"},
      {"weight index out of range", Form(pnts + Vmap("WGHT", "Bone01", {{70000, 1}})),
       "Error: .*k12-lwo2.*weight index 70000 addresses no loaded point"},
      {"map name without NUL", Form(pnts + Chunk("VMAP", "WGHT" + Be16(1) + "Bone01")),
       "Error: .*end of VMAP chunk .* inside the map name"},
      {"map entry cut", Form(pnts + Chunk("VMAP", "WGHT" + Be16(1) + Name("Bone01") + Vx(0) + "\x3F")),
       "Error: .*end of VMAP chunk .* inside a map entry"},
  };
  for (const Damaged& c : cases) {
    SCOPED_TRACE(c.what);
    TempFile file(c.bytes);
    EXPECT_EXIT(CSoftObject(0, 0, 0, 1, 1, file.path(), 0, 1, 1), testing::ExitedWithCode(1),
                c.message);
  }
  EXPECT_EXIT(CSoftObject(0, 0, 0, 1, 1, "/nonexistent/none.lwo", 0, 1, 1),
              testing::ExitedWithCode(1), "Error: /nonexistent/none.lwo: cannot open");
  EXPECT_EXIT(CSoftObject(0, 0, 0, 1, 1, "/", 0, 1, 1), testing::ExitedWithCode(1),
              "Error: /: not a regular file");
}

// The shipped meshes load (when the build has generated them).
TEST(Lwo2Loader, ShippedMeshes) {
  const std::string dir = std::string(KELVANE_RUN_DIR) + "/Objects/";
  for (const char* name : {"obj4flak1bone.lwo", "glowa32.lwo"}) {
    const std::string path = dir + name;
    if (FILE* f = fopen(path.c_str(), "rb")) {
      fclose(f);
    } else {
      GTEST_SKIP() << path << " not generated in this build";
    }
    CSoftObject body(0, 0, 0, 1, 1, path.c_str(), 0, 1, 1);
    EXPECT_GT(body.triangles.size(), 0u) << name;
    EXPECT_GT(body.springs.size(), body.triangles.size()) << name;
  }
}
}  // namespace
