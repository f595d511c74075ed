#pragma once

#include <array>
#include <cmath>
#include <cstddef>

namespace dorvel::dice3d {

struct Vector3
{
    float x = 0.0f;
    float y = 0.0f;
    float z = 0.0f;
};

inline Vector3 operator+(Vector3 a, Vector3 b)
{
    return { a.x + b.x, a.y + b.y, a.z + b.z };
}
inline Vector3 operator-(Vector3 a, Vector3 b)
{
    return { a.x - b.x, a.y - b.y, a.z - b.z };
}
inline Vector3 operator*(Vector3 a, float s)
{
    return { a.x * s, a.y * s, a.z * s };
}
inline float dot(Vector3 a, Vector3 b)
{
    return a.x * b.x + a.y * b.y + a.z * b.z;
}
inline Vector3 cross(Vector3 a, Vector3 b)
{
    return { a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x };
}
inline float length(Vector3 a)
{
    return std::sqrt(dot(a, a));
}
inline Vector3 normalized(Vector3 a)
{
    const float l = length(a);
    return l > 0.0f ? a * (1.0f / l) : a;
}

/// A homogeneous point or direction.
struct Vector4
{
    double x = 0.0;
    double y = 0.0;
    double z = 0.0;
    double w = 1.0;
};

/**
 * A 4×4 matrix in OpenGL's column-major layout (m[column * 4 + row]), so it can
 * be handed to glLoadMatrixd / glMultMatrixd as it is. Double precision keeps
 * the picking maths as close as possible to what the GL pipeline computes.
 */
struct Matrix4
{
    std::array<double, 16> m { 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1 };

    double &at(int row, int column) { return m[static_cast<std::size_t>(column * 4 + row)]; }
    double at(int row, int column) const { return m[static_cast<std::size_t>(column * 4 + row)]; }
    const double *data() const { return m.data(); }

    static Matrix4 identity() { return {}; }
    static Matrix4 translation(double x, double y, double z)
    {
        Matrix4 r;
        r.at(0, 3) = x;
        r.at(1, 3) = y;
        r.at(2, 3) = z;
        return r;
    }
    static Matrix4 scaling(double x, double y, double z)
    {
        Matrix4 r;
        r.at(0, 0) = x;
        r.at(1, 1) = y;
        r.at(2, 2) = z;
        return r;
    }

    friend Matrix4 operator*(const Matrix4 &a, const Matrix4 &b)
    {
        Matrix4 r;
        for (int row = 0; row < 4; ++row) {
            for (int column = 0; column < 4; ++column) {
                double sum = 0.0;
                for (int k = 0; k < 4; ++k)
                    sum += a.at(row, k) * b.at(k, column);
                r.at(row, column) = sum;
            }
        }
        return r;
    }

    Vector4 map(const Vector4 &v) const
    {
        return { at(0, 0) * v.x + at(0, 1) * v.y + at(0, 2) * v.z + at(0, 3) * v.w,
            at(1, 0) * v.x + at(1, 1) * v.y + at(1, 2) * v.z + at(1, 3) * v.w,
            at(2, 0) * v.x + at(2, 1) * v.y + at(2, 2) * v.z + at(2, 3) * v.w,
            at(3, 0) * v.x + at(3, 1) * v.y + at(3, 2) * v.z + at(3, 3) * v.w };
    }
    Vector4 map(Vector3 p) const { return map(Vector4 { p.x, p.y, p.z, 1.0 }); }
};

} // namespace dorvel::dice3d
