#include "scenes/show_state_io.h"

#include <cstring>
#include <type_traits>

namespace {
// Appends plain values and arrays of them.
struct Writer {
  std::vector<uint8_t>& out;
  void Bytes(const void* data, size_t size) {
    const auto* p = static_cast<const uint8_t*>(data);
    out.insert(out.end(), p, p + size);
  }
  template <typename T>
  void Value(const T& value) {
    static_assert(std::is_trivially_copyable_v<T>, "plain values only");
    Bytes(&value, sizeof value);
  }
  template <typename T>
  void Array(const std::vector<T>& values) {
    static_assert(std::is_trivially_copyable_v<T>, "plain values only");
    Value<uint64_t>(values.size());
    Bytes(values.data(), values.size() * sizeof(T));
  }
};

// Reads them back, never past the end: a read that would is refused and
// everything after it fails.
struct Reader {
  const uint8_t* at;
  size_t left;
  std::string problem;
  bool Bytes(void* data, size_t size) {
    if (!problem.empty()) return false;
    if (size > left) {
      problem = "the state ends early";
      return false;
    }
    if (size == 0) return true;  // an empty list has no storage to copy into
    memcpy(data, at, size);
    at += size;
    left -= size;
    return true;
  }
  template <typename T>
  bool Value(T& value) {
    static_assert(std::is_trivially_copyable_v<T>, "plain values only");
    return Bytes(&value, sizeof value);
  }
  // An array of plain values whose length must be `expected` (any, when
  // expected is SIZE_MAX, bounded by what is left).
  template <typename T>
  bool Array(std::vector<T>& values, size_t expected, const char* what) {
    uint64_t count = 0;
    if (!Value(count)) return false;
    if ((expected != SIZE_MAX && count != expected) || count > left / sizeof(T)) {
      if (problem.empty()) problem = std::string("the ") + what + " have another shape";
      return false;
    }
    values.resize(count);
    return Bytes(values.data(), count * sizeof(T));
  }
  bool Fail(const std::string& why) {
    if (problem.empty()) problem = why;
    return false;
  }
};

// The parts of a link that are values (its ends are pointers into the rope).
struct LinkValues {
  float stiffness, damping, restLength;
};

void AppendRope(Writer& w, const CRopeObject& rope) {
  w.Value(rope.rows);
  w.Value(rope.chains);
  w.Value(rope.linkStiffness);
  w.Value(rope.linkDamping);
  w.Value(rope.stretchTolerance);
  w.Value(rope.centre);
  w.Value(rope.angleA);
  w.Value(rope.angleB);
  // Each row has a spare null entry past its last chain.
  for (const auto& row : rope.grid)
    for (const RopeParticle* p : row)
      if (p) w.Value(*p);
  for (const auto& row : rope.restCopies) w.Array(row);
  std::vector<LinkValues> links;
  links.reserve(rope.links.size());
  for (const RopeLink& link : rope.links)
    links.push_back({link.stiffness, link.damping, link.restLength});
  w.Array(links);
}

// Reads a rope into `rope`, whose shape (rows, chains, links) must match.
bool ReadRope(Reader& r, CRopeObject& rope) {
  int rows = 0, chains = 0;
  if (!r.Value(rows) || !r.Value(chains)) return false;
  if (rows != rope.rows || chains != rope.chains ||
      rope.grid.size() != static_cast<size_t>(rows))
    return r.Fail("the ropes have another shape");
  bool ok = r.Value(rope.linkStiffness) && r.Value(rope.linkDamping) &&
            r.Value(rope.stretchTolerance) && r.Value(rope.centre) && r.Value(rope.angleA) &&
            r.Value(rope.angleB);
  for (auto& row : rope.grid)
    for (RopeParticle* p : row)
      if (p) ok = ok && r.Value(*p);
  for (auto& row : rope.restCopies) ok = ok && r.Array(row, row.size(), "ropes");
  std::vector<LinkValues> links;
  ok = ok && r.Array(links, rope.links.size(), "rope links");
  if (!ok) return false;
  for (size_t k = 0; k < links.size(); ++k) {
    rope.links[k].stiffness = links[k].stiffness;
    rope.links[k].damping = links[k].damping;
    rope.links[k].restLength = links[k].restLength;
  }
  return true;
}

void AppendBody(Writer& w, const CSoftObject& body) {
  w.Value(body.gravity);
  w.Value(body.volume);
  w.Value(body.inverseVolume);
  w.Value(body.pressureConstant);
  w.Array(body.savedPoints);
  w.Array(body.points);
  w.Array(body.springs);
  w.Array(body.triangles);
}

// Reads a body of the same mesh as `body` (the point, spring and face counts
// must match: another mesh is another show).
bool ReadBody(Reader& r, CSoftObject& body) {
  return r.Value(body.gravity) && r.Value(body.volume) && r.Value(body.inverseVolume) &&
         r.Value(body.pressureConstant) &&
         // The saved copy is empty until the first step fills it.
         r.Array(body.savedPoints, SIZE_MAX, "meshes") &&
         r.Array(body.points, body.points.size(), "meshes") &&
         r.Array(body.springs, body.springs.size(), "meshes") &&
         r.Array(body.triangles, body.triangles.size(), "meshes");
}

// Every member of the show, in one order for writing and reading.
template <typename Io, typename Show>
bool VisitPlainParts(Io& io, Show& s) {
  return io.Value(s.clock) && io.Value(s.generator) && io.Value(s.rand) &&
         io.Value(s.softBodyPhase) && io.Value(s.pointCloud) && io.Value(s.field) &&
         io.Value(s.loader) && io.Value(s.scene) && io.Value(s.plan) && io.Value(s.director) &&
         io.Value(s.wireLayer) && io.Value(s.composition);
}

// Writer::Value returns nothing; this gives the visitor a bool.
struct CheckedWriter {
  Writer w;
  template <typename T>
  bool Value(const T& value) {
    w.Value(value);
    return true;
  }
};
}  // namespace

void AppendShowState(const ShowState& show, std::vector<uint8_t>& out) {
  CheckedWriter cw{Writer{out}};
  VisitPlainParts(cw, show);
  AppendRope(cw.w, show.ropeA);
  AppendRope(cw.w, show.ropeB);
  AppendBody(cw.w, show.softBody);
  AppendBody(cw.w, show.wireBody);
  std::vector<uint8_t> fired(show.keysFired.begin(), show.keysFired.end());
  cw.w.Array(fired);
}

bool ReadShowState(const uint8_t* bytes, size_t size, size_t keyEntries, ShowState& show,
                   std::string* why) {
  // Read into a copy, so that a refusal leaves the show untouched.
  ShowState read = show;
  Reader r{bytes, size, {}};
  std::vector<uint8_t> fired;
  const bool ok = VisitPlainParts(r, read) && ReadRope(r, read.ropeA) &&
                  ReadRope(r, read.ropeB) && ReadBody(r, read.softBody) &&
                  ReadBody(r, read.wireBody) && r.Array(fired, SIZE_MAX, "key entries");
  if (ok && r.left != 0) r.Fail("there are bytes after the state");
  if (ok && !fired.empty() && fired.size() != keyEntries)
    r.Fail("its key track has another length");
  if (!r.problem.empty()) {
    if (why) *why = r.problem;
    return false;
  }
  read.keysFired.assign(fired.begin(), fired.end());
  show = std::move(read);
  return true;
}

uint64_t Checksum64(const void* data, size_t size, uint64_t seed) {
  const auto* p = static_cast<const uint8_t*>(data);
  uint64_t h = seed;
  for (size_t i = 0; i < size; ++i) {
    h ^= p[i];
    h *= 1099511628211ull;
  }
  return h;
}
