#include "particles/file_readers.h"

#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <iostream>

#include "core/fatal.h"
#include "core/file_open.h"

char* ReadTextFile(FILE* stream) {
  fseek(stream, 0, SEEK_END);
  long size = ftell(stream);
  if (size < 0) size = 0;
  // Zeroed first, so a short text-mode read still ends in a NUL.
  char* text = static_cast<char*>(calloc(static_cast<size_t>(size) + 1, 1));
  fseek(stream, 0, SEEK_SET);
  size_t got = fread(text, 1, static_cast<size_t>(size), stream);
  (void)got;
  fclose(stream);
  text[size] = '\0';
  return text;
}

namespace {
// Opens a PPM and skips its four header lines (magic, comment, size, maximum);
// a file that does not open ends the program. It is opened first without
// blocking, so that a pipe or device in its place is refused, not waited on;
// the stream then opens that same regular file through its descriptor.
void OpenPpm(std::ifstream& in, const std::string& fileName) {
  std::string why;
  const int fd = OpenRegularForReading(fileName.c_str(), &why);
  if (fd < 0) {
    Fatal(stdout, "Cannot open the file: %s (%s)\n", fileName.c_str(), why.c_str());
  }
  in.open("/proc/self/fd/" + std::to_string(fd));
  close(fd);
  if (in.fail() || in.bad()) {
    Fatal(stdout, "Cannot open the file: %s\n", fileName.c_str());
  }
  std::string line;
  for (int i = 0; i < 4; ++i) std::getline(in, line);
}

// Reads `count` samples per pixel of a width x height picture, top row first,
// and hands each pixel's samples to store(column-major index, samples). Words
// that are missing at the end of a short file read as 0.
template <typename Store>
void ReadPpmSamples(std::ifstream& in, const std::string& fileName, int height, int width,
                    Store store) {
  std::string word;
  long missing = 0;
  for (int r = 0; r < height; ++r) {
    for (int x = 0; x < width; ++x) {
      int sample[3];
      for (int c = 0; c < 3; ++c) {
        word.clear();
        if (!(in >> word)) ++missing;
        sample[c] = atoi(word.c_str());
      }
      store(static_cast<long>(x) * height + (height - 1 - r), sample);
    }
  }
  if (missing > 0)
    std::cout << "Short PPM file, " << missing << " samples missing (left 0): " << fileName
              << std::endl;
}
}  // namespace

void ReadPpmRed(int height, std::string fileName, int* grid, int width) {
  std::ifstream in;
  OpenPpm(in, fileName);
  ReadPpmSamples(in, fileName, height, width,
                 [grid](long index, const int* s) { grid[index] = s[0]; });
  in.close();
}

void ReadPpmRgb(int height, std::string fileName, int* grid, int width) {
  std::ifstream in;
  OpenPpm(in, fileName);
  ReadPpmSamples(in, fileName, height, width, [grid](long index, const int* s) {
    grid[index * 3 + 0] = s[0];
    grid[index * 3 + 1] = s[1];
    grid[index * 3 + 2] = s[2];
  });
  in.close();
}
