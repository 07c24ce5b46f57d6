#include "tests/test_images.h"

#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb/stb_image_write.h>
#include <stdlib.h>

#include <filesystem>

#include "overlays/textures.h"

namespace testimg {

std::string MakeTempDir(const char* tag) {
  std::string pattern =
      (std::filesystem::temp_directory_path() / (std::string("k12-") + tag + "-XXXXXX")).string();
  if (!mkdtemp(pattern.data())) return "";
  return pattern;
}

bool WritePng(const std::string& path, int width, int height, int channels,
              const std::vector<unsigned char>& pixels) {
  return stbi_write_png(path.c_str(), width, height, channels, pixels.data(),
                        width * channels) != 0;
}

std::array<int, 3> AssetColour(int index) {
  return {10 + 4 * index, 245 - 4 * index, (40 + 8 * index) % 256};
}

namespace {
// Removes a temporary directory tree when the test program ends.
struct RemovedAtExit {
  std::string path;
  ~RemovedAtExit() {
    std::error_code ec;
    std::filesystem::remove_all(path, ec);
  }
};
}  // namespace

const std::string& TestAssetDirectory() {
  static const std::string dir = [] {
    std::string root = MakeTempDir("assets");
    static RemovedAtExit cleanup{root};
    std::filesystem::create_directories(root + "/gfx");
    std::vector<std::string> files = AssetImageFiles();
    for (size_t i = 0; i < files.size(); ++i) {
      std::array<int, 3> c = AssetColour(static_cast<int>(i));
      std::vector<unsigned char> pixels;
      for (int p = 0; p < 64; ++p) pixels.insert(pixels.end(), {static_cast<unsigned char>(c[0]),
                                                 static_cast<unsigned char>(c[1]),
                                                 static_cast<unsigned char>(c[2])});
      std::string path = root + "/" + files[i];
      if (path.substr(path.size() - 4) == ".jpg")
        stbi_write_jpg(path.c_str(), 8, 8, 3, pixels.data(), 100);
      else
        WritePng(path, 8, 8, 3, pixels);
    }
    return root;
  }();
  return dir;
}

std::array<int, 4> Texel(unsigned int texture, int x, int y) {
  GLint width = 0, height = 0;
  glBindTexture(GL_TEXTURE_2D, texture);
  glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &width);
  glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &height);
  std::vector<unsigned char> rgba(static_cast<size_t>(width) * height * 4);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
  const unsigned char* p = &rgba[(static_cast<size_t>(y) * width + x) * 4];
  return {p[0], p[1], p[2], p[3]};
}
}  // namespace testimg
