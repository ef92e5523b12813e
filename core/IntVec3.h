#pragma once
// IntVec3: three ints; region offsets in whole units.

namespace GAME {

struct IntVec3 {
    int x = 0;
    int y = 0;
    int z = 0;

    constexpr IntVec3() = default;
    constexpr IntVec3(int x_, int y_, int z_) : x(x_), y(y_), z(z_) {}

    constexpr IntVec3 operator+(const IntVec3& v) const { return IntVec3(x + v.x, y + v.y, z + v.z); }
    constexpr IntVec3 operator-(const IntVec3& v) const { return IntVec3(x - v.x, y - v.y, z - v.z); }

    constexpr bool operator==(const IntVec3&) const = default;
};

}  // namespace GAME
