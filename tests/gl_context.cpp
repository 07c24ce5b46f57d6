#include "tests/gl_context.h"

#include <GL/glut.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include <random>

#include "core/random.h"
#include "objects/program_objects.h"

namespace testgl {

std::array<int, 4> ReadPixel(int x, int y) {
  unsigned char p[4] = {0, 0, 0, 0};
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glReadPixels(x, y, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, p);
  return {p[0], p[1], p[2], p[3]};
}

GLuint PlainTexture(int r, int g, int b) {
  std::vector<unsigned char> texels;
  for (int i = 0; i < 16; ++i)
    texels.insert(texels.end(), {static_cast<unsigned char>(r), static_cast<unsigned char>(g),
                                 static_cast<unsigned char>(b), 255});
  return MakeTexture(4, 4, texels);
}

GLuint MakeTexture(int width, int height, const std::vector<unsigned char>& rgba) {
  GLuint name = 0;
  glGenTextures(1, &name);
  glBindTexture(GL_TEXTURE_2D, name);
  glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, width, height, 0, GL_RGBA, GL_UNSIGNED_BYTE,
               rgba.data());
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
  return name;
}

int DrawsSinceSeed(Mt19937State& generator, int limit) {
  const uint32_t next = RandomU32(generator);
  std::mt19937 reference(38);
  for (int n = 0; n <= limit; ++n)
    if (reference() == next) return n;
  return -1;
}

namespace {
// The two bodies as start-up loads them, read once by main.
CSoftObject* loadedSoftBody = nullptr;
CSoftObject* loadedWireBody = nullptr;
}  // namespace

ShowState StartedShow() {
  ShowState show;
  show.softBody = *loadedSoftBody;
  show.wireBody = *loadedWireBody;
  RandomSeed(show.generator, 38);
  ScatterPointCloud(show.pointCloud, show.rand);
  show.loader.loadingDone = show.loader.musicStarted = 1;
  show.plan.loaderFrame = false;
  return show;
}

GLuint PrimitivesGenerated(const std::function<void()>& draw) {
  GLuint query = 0, count = 0;
  glGenQueries(1, &query);
  glBeginQuery(GL_PRIMITIVES_GENERATED, query);
  draw();
  glEndQuery(GL_PRIMITIVES_GENERATED);
  glGetQueryObjectuiv(query, GL_QUERY_RESULT, &count);
  glDeleteQueries(1, &query);
  return count;
}

void ResetState() {
  glBindFramebuffer(GL_FRAMEBUFFER, 0);
  glUseProgram(0);
  glActiveTexture(GL_TEXTURE0);
  glBindTexture(GL_TEXTURE_2D, 0);
  glViewport(0, 0, kWidth, kHeight);
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  for (GLenum cap : {GL_BLEND, GL_DEPTH_TEST, GL_TEXTURE_2D, GL_LIGHTING, GL_CULL_FACE,
                     GL_COLOR_MATERIAL})
    glDisable(cap);
  glColor4f(1, 1, 1, 1);
  glClearColor(0, 0, 0, 0);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
}
}  // namespace testgl

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  // The show reads its files relative to the working directory, as the
  // tests do: they run in the run directory, with the meshes loaded.
  if (chdir(KELVANE_RUN_DIR) != 0) {
    std::perror(KELVANE_RUN_DIR);
    return 1;
  }
  static CSoftObject softBody, wireBody;
  LoadProgramMeshes(softBody, wireBody);
  testgl::loadedSoftBody = &softBody;
  testgl::loadedWireBody = &wireBody;
  glutInit(&argc, argv);
  glutInitWindowSize(testgl::kWidth, testgl::kHeight);
  glutInitDisplayMode(GLUT_RGB | GLUT_DOUBLE | GLUT_DEPTH);
  glutCreateWindow("kelvane12 tests");
  if (glewInit() != GLEW_OK) {
    fprintf(stderr, "glewInit failed\n");
    return 1;
  }
  testgl::ResetState();
  return RUN_ALL_TESTS();
}
