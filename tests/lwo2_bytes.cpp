// The sphere mesh of the soft-body tests.
#include "tests/lwo2_bytes.h"

#include <array>
#include <cmath>
#include <map>

namespace lwo2 {
std::string SphereLwo(float r, int levels, bool weightAll) {
  std::vector<std::array<float, 3>> p = {{1, 0, 0}, {-1, 0, 0}, {0, 1, 0},
                                         {0, -1, 0}, {0, 0, 1}, {0, 0, -1}};
  std::vector<std::array<uint32_t, 3>> f = {{0, 2, 4}, {2, 1, 4}, {1, 3, 4}, {3, 0, 4},
                                            {2, 0, 5}, {1, 2, 5}, {3, 1, 5}, {0, 3, 5}};
  for (int l = 0; l < levels; ++l) {
    std::map<std::pair<uint32_t, uint32_t>, uint32_t> mid;
    auto middle = [&](uint32_t a, uint32_t b) {
      auto key = std::make_pair(std::min(a, b), std::max(a, b));
      auto it = mid.find(key);
      if (it != mid.end()) return it->second;
      std::array<float, 3> m;
      for (int k = 0; k < 3; ++k) m[k] = (p[a][k] + p[b][k]) / 2;
      float len = std::sqrt(m[0] * m[0] + m[1] * m[1] + m[2] * m[2]);
      for (float& c : m) c /= len;
      p.push_back(m);
      return mid[key] = uint32_t(p.size() - 1);
    };
    std::vector<std::array<uint32_t, 3>> next;
    for (auto& t : f) {
      uint32_t ab = middle(t[0], t[1]), bc = middle(t[1], t[2]), ca = middle(t[2], t[0]);
      next.push_back({t[0], ab, ca});
      next.push_back({ab, t[1], bc});
      next.push_back({ca, bc, t[2]});
      next.push_back({ab, bc, ca});
    }
    f = next;
  }
  std::vector<float> xyz;
  for (auto& q : p)
    for (float c : q) xyz.push_back(c * r);
  std::vector<std::vector<uint32_t>> polys;
  for (auto& t : f) polys.push_back({t[0], t[1], t[2]});
  std::vector<Weight> weights;
  for (uint32_t i = 0; i < p.size(); ++i) weights.push_back({i, weightAll ? 1.0f : 0.0f});
  return Form(Pnts(xyz) + Pols(polys) + Vmap("WGHT", "Bone01", weights));
}
}  // namespace lwo2
