#pragma once
// Mat4: a 4 x 4 float matrix, row-major, acting on column vectors (M * v); the default is the
// identity. Products chain right to left: world-to-screen = camera-to-screen * world-to-camera.
//
// The sixteen floats are stored row by row, so Mat4(Coords) stores x.x, y.x, z.x, origin.x, x.y,
// y.y, z.y, origin.y, x.z, y.z, z.z, origin.z, 0, 0, 0, 1: the frame's axes and origin are the
// columns. The shader constants are uploaded in this order, one row per register.

namespace GAME {

struct Coords;

class Mat4 {
public:
    constexpr Mat4() : m{1.0f, 0.0f, 0.0f, 0.0f, 0.0f, 1.0f, 0.0f, 0.0f, 0.0f, 0.0f, 1.0f, 0.0f, 0.0f, 0.0f, 0.0f, 1.0f} {}
    // The sixteen elements, row by row.
    constexpr Mat4(float m00, float m01, float m02, float m03,
                   float m10, float m11, float m12, float m13,
                   float m20, float m21, float m22, float m23,
                   float m30, float m31, float m32, float m33)
        : m{m00, m01, m02, m03, m10, m11, m12, m13, m20, m21, m22, m23, m30, m31, m32, m33} {}
    explicit Mat4(const Coords& frame);

    constexpr float& operator()(int row, int col) { return m[row * 4 + col]; }
    constexpr float operator()(int row, int col) const { return m[row * 4 + col]; }
    // The sixteen floats in storage order.
    constexpr const float* GetData() const { return m; }

    Mat4 operator*(const Mat4& b) const;

    Mat4 Transpose() const;
    float Determinant() const;
    // The inverse, as the adjugate over the determinant. A singular (or nearly singular, or
    // non-finite) matrix has none: Invert reports false and leaves out unchanged; Inverse returns
    // the identity rather than infinities and NaNs.
    bool Invert(Mat4& out) const;
    Mat4 Inverse() const;

private:
    float m[16];
};

// The matrix that scales and offsets projected x and y so that the rectangle [minX, maxX] x
// [minY, maxY] fills [-1, 1] x [-1, 1]; z and w pass unchanged. The offset goes through w, so it
// applies after a perspective projection as well. Extents below 1e-6 count as 1e-6, so a flat
// rectangle gives a large finite scale rather than infinities.
Mat4 MakeCropMatrix(float minX, float minY, float maxX, float maxY);

}  // namespace GAME
