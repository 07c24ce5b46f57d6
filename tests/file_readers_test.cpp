#include "particles/file_readers.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

namespace {
std::string TempPath(const std::string& name) {
  const char* dir = getenv("TMPDIR");
  return std::string(dir && *dir ? dir : "/tmp") + "/k12-readers-" + name;
}

// Writes a plain PPM with the usual four header lines (or three, without the
// comment) whose pixel (x, r) has the samples pixel(x, r).
template <typename Pixel>
std::string WritePpm(const std::string& name, int width, int height, Pixel pixel,
                     bool comment = true, long dropLastSamples = 0) {
  std::string path = TempPath(name);
  std::ofstream out(path);
  out << "P3\n";
  if (comment) out << "# test picture\n";
  out << width << " " << height << "\n255\n";
  long total = long(width) * height * 3 - dropLastSamples;
  long written = 0;
  for (int r = 0; r < height; ++r)
    for (int x = 0; x < width; ++x) {
      auto s = pixel(x, r);
      for (int c = 0; c < 3 && written < total; ++c, ++written) out << s[c] << ' ';
      if (x == width - 1) out << '\n';
    }
  return path;
}

struct Rgb {
  int v[3];
  int operator[](int c) const { return v[c]; }
};
}  // namespace

TEST(PpmReaders, RedGridIsColumnMajorWithYUp) {
  // Red encodes the position; the top-left pixel alone is 255.
  std::string path = WritePpm("red.ppm", 640, 320, [](int x, int r) {
    return Rgb{{x == 0 && r == 0 ? 255 : (x + r) % 200, 7, 9}};
  });
  std::vector<int> grid(640 * 320, -1);
  ReadPpmRed(320, path, grid.data(), 640);
  EXPECT_EQ(grid[319], 255);        // top-left: x = 0, y = 319
  EXPECT_EQ(grid[0], (0 + 319) % 200);  // bottom-left: row 319
  EXPECT_EQ(grid[5 * 320 + 10], (5 + 309) % 200);
  EXPECT_EQ(grid[639 * 320 + 319], 639 % 200);  // top-right
  remove(path.c_str());
}

TEST(PpmReaders, ColourGridKeepsAllThreeSamples) {
  std::string path = WritePpm("rgb.ppm", 1280, 720, [](int x, int r) {
    if (x == 1279 && r == 719) return Rgb{{11, 22, 33}};  // bottom-right
    return Rgb{{x % 256, r % 256, 1}};
  });
  std::vector<int> grid(size_t(1280) * 720 * 3, -1);
  ReadPpmRgb(720, path, grid.data(), 1280);
  const size_t bottomRight = size_t(1279) * 720;
  EXPECT_EQ(grid[bottomRight * 3 + 0], 11);
  EXPECT_EQ(grid[bottomRight * 3 + 1], 22);
  EXPECT_EQ(grid[bottomRight * 3 + 2], 33);
  const size_t topLeft = 719;  // x = 0, row 0
  EXPECT_EQ(grid[topLeft * 3 + 0], 0);
  EXPECT_EQ(grid[topLeft * 3 + 1], 0);
  const size_t p = size_t(300) * 720 + (719 - 100);  // x = 300, row 100
  EXPECT_EQ(grid[p * 3 + 0], 300 % 256);
  EXPECT_EQ(grid[p * 3 + 1], 100);
  EXPECT_EQ(grid[p * 3 + 2], 1);
  remove(path.c_str());
}

TEST(PpmReaders, FileWithoutCommentLosesItsFirstRow) {
  // The reader skips four lines whatever they hold, so without a comment line
  // the first row of samples is skipped and everything moves up one row.
  std::string path = WritePpm(
      "nocomment.ppm", 640, 320, [](int, int r) { return Rgb{{r % 256, 0, 0}}; }, false);
  std::vector<int> grid(640 * 320, -1);
  testing::internal::CaptureStdout();
  ReadPpmRed(320, path, grid.data(), 640);
  std::string said = testing::internal::GetCapturedStdout();
  EXPECT_EQ(grid[319], 1);  // the top row holds what was the second row
  EXPECT_EQ(grid[1], 319 % 256);  // and the row above the bottom holds the last one
  EXPECT_EQ(grid[0], 0);    // the bottom row ran out of samples
  EXPECT_NE(said.find(path), std::string::npos);
  remove(path.c_str());
}

TEST(PpmReaders, ShortFileLeavesZerosAndSaysSo) {
  // Pre-filled grid: the entries the file cannot fill must come back as 0.
  std::string path = WritePpm(
      "short.ppm", 1280, 720, [](int, int) { return Rgb{{200, 100, 50}}; }, true, 3);
  std::vector<int> grid(size_t(1280) * 720 * 3, -1);
  testing::internal::CaptureStdout();
  ReadPpmRgb(720, path, grid.data(), 1280);
  std::string said = testing::internal::GetCapturedStdout();
  const size_t last = size_t(1279) * 720;  // bottom-right, read last
  const size_t before = size_t(1278) * 720;
  EXPECT_EQ(grid[before * 3 + 2], 50);
  EXPECT_EQ(grid[before * 3 + 0], 200);
  EXPECT_EQ(grid[last * 3 + 0], 0);
  EXPECT_EQ(grid[last * 3 + 1], 0);
  EXPECT_EQ(grid[last * 3 + 2], 0);
  // One line, naming the file.
  EXPECT_NE(said.find(path), std::string::npos);
  EXPECT_EQ(said.find('\n'), said.size() - 1);
  remove(path.c_str());
}

TEST(PpmReadersDeathTest, MissingFileEndsTheProgramWithItsName) {
  std::vector<int> grid(640 * 320, 0);
  // The message goes to standard output; the child sends that to stderr,
  // where the death test can match it.
  EXPECT_EXIT(
      {
        dup2(fileno(stderr), fileno(stdout));
        ReadPpmRed(320, "no/such/picture.ppm", grid.data(), 640);
      },
      testing::ExitedWithCode(1), "Cannot open the file: no/such/picture.ppm");
  EXPECT_EXIT(
      {
        dup2(fileno(stderr), fileno(stdout));
        ReadPpmRgb(720, "no/such/colours.ppm", grid.data(), 1280);
      },
      testing::ExitedWithCode(1), "Cannot open the file: no/such/colours.ppm");
}

TEST(TextReader, ReturnsContentsWithOneNulAtTheEnd) {
  for (std::string content : {std::string("void main() {}\n"), std::string()}) {
    std::string path = TempPath("text.txt");
    {
      std::ofstream out(path, std::ios::binary);
      out << content;
    }
    FILE* stream = fopen(path.c_str(), "rb");
    ASSERT_NE(stream, nullptr);
    char* text = ReadTextFile(stream);
    EXPECT_EQ(std::string(text, content.size() + 1), content + std::string(1, '\0'));
    free(text);
    remove(path.c_str());
  }
}
