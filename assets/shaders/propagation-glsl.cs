#version 430
// Streaming step of the D2Q9 lattice: every fluid cell pulls each of its nine
// distributions from the neighbour it came from (binding 4, just relaxed by
// the collision pass) and writes them to binding 5. A population that would
// come out of an obstacle is the cell's own opposite population bounced back
// (half-way bounce-back), so no mass enters or leaves through obstacles. The
// lattice wraps around at its edges.
layout(local_size_x = 32, local_size_y = 32, local_size_z = 1) in;

layout(std430, binding = 0) readonly buffer ObstacleMask { int obstacle[]; };
layout(std430, binding = 4) readonly buffer Relaxed { float fIn[]; };
layout(std430, binding = 5) writeonly buffer Streamed { float fOut[]; };

const ivec2 kSize = ivec2(640, 320);
const ivec2 kDirection[9] = ivec2[9](ivec2(0, 0), ivec2(1, 0), ivec2(0, 1), ivec2(-1, 0),
                                     ivec2(0, -1), ivec2(1, 1), ivec2(-1, 1), ivec2(-1, -1),
                                     ivec2(1, -1));
const int kOpposite[9] = int[9](0, 3, 4, 1, 2, 7, 8, 5, 6);

void main() {
  ivec2 cell = ivec2(gl_GlobalInvocationID.xy);
  if (cell.x >= kSize.x || cell.y >= kSize.y) return;
  int here = cell.y * kSize.x + cell.x;
  if (obstacle[here] != 0) {
    for (int d = 0; d < 9; ++d) fOut[here * 9 + d] = fIn[here * 9 + d];
    return;
  }
  for (int d = 0; d < 9; ++d) {
    ivec2 from = (cell - kDirection[d] + kSize) % kSize;
    int there = from.y * kSize.x + from.x;
    fOut[here * 9 + d] = obstacle[there] != 0 ? fIn[here * 9 + kOpposite[d]] : fIn[there * 9 + d];
  }
}
