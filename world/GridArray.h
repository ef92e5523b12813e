#pragma once
// GridArray: the 3-D arrays of a grid region (cells, lattice, features, transparency), stored
// with x fastest, then y, then z: element (x, y, z) lies at x + nx * (y + ny * z).
//
// Resize keeps every element whose (x, y, z) existed before, except that when ny grows by d the
// old layer y moves to y + d (new floors are added at the low end); when ny shrinks, the layers
// at y >= the new ny are dropped. Rotate is a quarter turn about y: (x, y, z) goes to (z, y, x)
// (nx and nz swap), then the array is mirrored in z. Elements are moved, never copied, so an
// array may own what its elements hold.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <utility>

#include "core/Mem.h"

namespace GAME {

template <class T>
class GridArray {
public:
    int GetX() const { return nx_; }
    int GetY() const { return ny_; }
    int GetZ() const { return nz_; }
    size_t GetCount() const { return values_.size(); }
    bool Contains(int x, int y, int z) const { return x >= 0 && y >= 0 && z >= 0 && x < nx_ && y < ny_ && z < nz_; }

    T& At(int x, int y, int z) { return values_[Index(x, y, z)]; }
    const T& At(int x, int y, int z) const { return values_[Index(x, y, z)]; }
    // The position of an element of this array.
    void GetPosition(const T& element, int& x, int& y, int& z) const {
        const size_t index = size_t(&element - values_.data());
        x = int(index % size_t(nx_));
        y = int(index / size_t(nx_) % size_t(ny_));
        z = int(index / (size_t(nx_) * size_t(ny_)));
    }
    void Fill(const T& value) { std::fill(values_.begin(), values_.end(), value); }

    // Elements that did not exist before are copies of fill (without fill, default-made).
    void Resize(int nx, int ny, int nz, const T& fill) {
        ResizeWith(nx, ny, nz, [&fill] { return fill; });
    }
    void Resize(int nx, int ny, int nz) {
        ResizeWith(nx, ny, nz, [] { return T(); });
    }

    void Rotate() {
        mem::vector<T> turned(values_.size());
        // Transposed: (x, y, z) to (z, y, x) in an array of nz x ny x nx, then mirrored in z.
        for (int z = 0; z < nz_; ++z) {
            for (int y = 0; y < ny_; ++y) {
                for (int x = 0; x < nx_; ++x) {
                    const int tx = z;
                    const int tz = nx_ - 1 - x;
                    turned[size_t(tx) + size_t(nz_) * (size_t(y) + size_t(ny_) * size_t(tz))] = std::move(At(x, y, z));
                }
            }
        }
        values_ = std::move(turned);
        std::swap(nx_, nz_);
    }

private:
    template <class Make>
    void ResizeWith(int nx, int ny, int nz, const Make& make) {
        mem::vector<T> resized;
        const size_t count = size_t(nx) * size_t(ny) * size_t(nz);
        resized.reserve(count);
        for (size_t n = 0; n < count; ++n) resized.push_back(make());
        const int grown = ny > ny_ ? ny - ny_ : 0;
        for (int z = 0; z < std::min(nz, nz_); ++z) {
            for (int y = 0; y < std::min(ny, ny_); ++y) {
                for (int x = 0; x < std::min(nx, nx_); ++x) {
                    resized[size_t(x) + size_t(nx) * (size_t(y + grown) + size_t(ny) * size_t(z))] = std::move(At(x, y, z));
                }
            }
        }
        values_ = std::move(resized);
        nx_ = nx;
        ny_ = ny;
        nz_ = nz;
    }

    size_t Index(int x, int y, int z) const { return size_t(x) + size_t(nx_) * (size_t(y) + size_t(ny_) * size_t(z)); }

    int nx_ = 0;
    int ny_ = 0;
    int nz_ = 0;
    mem::vector<T> values_;
};

}  // namespace GAME
