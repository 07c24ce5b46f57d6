// libFuzzer target for the LWO2 loader. The loader's fatal error throws here
// instead of ending the process, so every input either loads or is rejected
// with a message; a crash, a hang or an out-of-bounds read is a finding.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <stdexcept>
#include <string>

#include "objects/soft_object.h"

namespace {
[[noreturn]] void ThrowLoaderError(const char* message) { throw std::runtime_error(message); }

// A body to load into: built once from an empty FORM.
CSoftObject& Body() {
  static CSoftObject* body = [] {
    const char* tmp = getenv("TMPDIR");
    const std::string path = std::string(tmp && *tmp ? tmp : "/tmp") + "/k12-fuzz-empty.lwo";
    if (FILE* f = fopen(path.c_str(), "wb")) {
      fwrite("FORM\0\0\0\4LWO2", 1, 12, f);
      fclose(f);
    }
    CSoftObject* loaded = new CSoftObject(0, 0, 0, 1, 1, path.c_str(), 0, 1, 1);
    remove(path.c_str());
    return loaded;
  }();
  return *body;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  SetLoaderFatalHook(ThrowLoaderError);
  CSoftObject& body = Body();
  body.points.clear();
  body.springs.clear();
  body.triangles.clear();
  // fmemopen wants a non-empty buffer; an empty input is one NUL short of a tag.
  static const uint8_t kEmpty[1] = {0};
  std::unique_ptr<FILE, int (*)(FILE*)> file(
      fmemopen(const_cast<uint8_t*>(size ? data : kEmpty), size ? size : 1, "rb"), fclose);
  if (!file) return 0;
  try {
    body.LoadObjectFromStream(0, 0, 0, 10, 1, file.get(), "fuzz input", 1, 1);
    if (!body.triangles.empty()) {
      body.AccumulateForces();
      body.Integrate(1, 0.001f);
    }
  } catch (const std::runtime_error&) {
  }
  return 0;
}
