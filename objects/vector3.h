// Small 3-vectors for the simulated objects: Vec3f (the soft body works in
// single precision) and Vec3d (rope particle state is held in double).
#pragma once
#include <cmath>

struct Vec3f {
  float x = 0, y = 0, z = 0;
};

inline Vec3f operator+(Vec3f a, Vec3f b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
inline Vec3f operator-(Vec3f a, Vec3f b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
inline Vec3f operator*(Vec3f a, float s) { return {a.x * s, a.y * s, a.z * s}; }
inline Vec3f& operator+=(Vec3f& a, Vec3f b) { a = a + b; return a; }
inline Vec3f& operator-=(Vec3f& a, Vec3f b) { a = a - b; return a; }
inline float Dot(Vec3f a, Vec3f b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
inline Vec3f Cross(Vec3f a, Vec3f b) {
  return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
// Square root taken in double of the single-precision sum of squares.
inline float Length(Vec3f a) {
  float sum = a.x * a.x + a.y * a.y + a.z * a.z;
  return static_cast<float>(std::sqrt(static_cast<double>(sum)));
}

struct Vec3d {
  double x = 0, y = 0, z = 0;
};

inline Vec3d operator+(Vec3d a, Vec3d b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
inline Vec3d operator-(Vec3d a, Vec3d b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
inline Vec3d operator*(Vec3d a, double s) { return {a.x * s, a.y * s, a.z * s}; }
inline Vec3d& operator+=(Vec3d& a, Vec3d b) { a = a + b; return a; }
inline Vec3d& operator-=(Vec3d& a, Vec3d b) { a = a - b; return a; }
inline double Dot(Vec3d a, Vec3d b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
inline double Length(Vec3d a) { return std::sqrt(Dot(a, a)); }
// Unit vector along a; a zero vector is returned unchanged.
inline Vec3d Normalized(Vec3d a) {
  double len = Length(a);
  return len != 0 ? a * (1.0 / len) : a;
}
