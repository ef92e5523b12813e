// Decoding a 1024 x 1024 colour picture through Image::Load, as a JPEG file and as a PNG file,
// side by side with the same files decoded by libjpeg-turbo and libpng called directly (from
// memory, row by row into one buffer, as plainly as each library allows). The ratio of each pair
// is Image's overhead: its checks, its error handling and its allocation.

#include <benchmark/benchmark.h>

#include "render/Image.h"

#include <png.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include <jpeglib.h>

namespace {

using namespace GAME;

constexpr uint32_t kSize = 1024;

// Smooth gradients with a little noise, as in a photograph or a painted texture.
Image MakePicture() {
    Image image;
    image.Create(kSize, kSize, Image::Format::RGB);
    uint32_t noise = 12345;
    for (uint32_t y = 0; y < kSize; ++y) {
        for (uint32_t x = 0; x < kSize; ++x) {
            noise = noise * 1664525u + 1013904223u;
            uint8_t* pixel = image.GetBuffer() + (size_t(y) * kSize + x) * 3;
            pixel[0] = uint8_t(x / 4 + (noise >> 29));
            pixel[1] = uint8_t(y / 4 + (noise >> 26 & 7));
            pixel[2] = uint8_t((x + y) / 8 + (noise >> 23 & 7));
        }
    }
    return image;
}

const std::vector<uint8_t>& JpegBytes() {
    static const std::vector<uint8_t> bytes = [] {
        const std::filesystem::path path = std::filesystem::temp_directory_path() / "image_bench.jpg";
        MakePicture().SaveJPG(path.c_str());
        std::ifstream file(path, std::ios::binary);
        std::vector<uint8_t> read((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
        std::filesystem::remove(path);
        return read;
    }();
    return bytes;
}

const std::vector<uint8_t>& PngBytes() {
    static const std::vector<uint8_t> bytes = [] {
        const Image picture = MakePicture();
        png_image image = {};
        image.version = PNG_IMAGE_VERSION;
        image.width = kSize;
        image.height = kSize;
        image.format = PNG_FORMAT_RGB;
        png_alloc_size_t size = 0;
        png_image_write_to_memory(&image, nullptr, &size, 0, picture.GetBuffer(), 0, nullptr);
        std::vector<uint8_t> written(size);
        if (!png_image_write_to_memory(&image, written.data(), &size, 0, picture.GetBuffer(), 0, nullptr)) std::abort();
        written.resize(size);
        return written;
    }();
    return bytes;
}

void LoadThroughImage(benchmark::State& state, const std::vector<uint8_t>& file) {
    for (auto _ : state) {
        Image image;
        if (image.Load(file.data(), uint32_t(file.size()), Image::Format::None) != Image::Error::None) std::abort();
        benchmark::DoNotOptimize(image.GetBuffer());
    }
    state.SetItemsProcessed(state.iterations());
}

void BM_JpegThroughImage(benchmark::State& state) { LoadThroughImage(state, JpegBytes()); }

void BM_JpegThroughLibjpeg(benchmark::State& state) {
    const std::vector<uint8_t>& file = JpegBytes();
    for (auto _ : state) {
        jpeg_decompress_struct info;
        jpeg_error_mgr errors;
        info.err = jpeg_std_error(&errors);
        jpeg_create_decompress(&info);
        jpeg_mem_src(&info, file.data(), file.size());
        jpeg_read_header(&info, TRUE);
        info.out_color_space = JCS_RGB;
        jpeg_start_decompress(&info);
        const size_t pitch = size_t(info.output_width) * 3;
        uint8_t* pixels = static_cast<uint8_t*>(std::malloc(pitch * info.output_height));
        while (info.output_scanline < info.output_height) {
            JSAMPROW row = pixels + info.output_scanline * pitch;
            jpeg_read_scanlines(&info, &row, 1);
        }
        jpeg_finish_decompress(&info);
        jpeg_destroy_decompress(&info);
        benchmark::DoNotOptimize(pixels);
        std::free(pixels);
    }
    state.SetItemsProcessed(state.iterations());
}

void BM_PngThroughImage(benchmark::State& state) { LoadThroughImage(state, PngBytes()); }

struct MemoryReader {
    const uint8_t* data;
    size_t position;
};

void ReadFromMemory(png_structp png, png_bytep out, size_t count) {
    MemoryReader& reader = *static_cast<MemoryReader*>(png_get_io_ptr(png));
    std::memcpy(out, reader.data + reader.position, count);
    reader.position += count;
}

void BM_PngThroughLibpng(benchmark::State& state) {
    const std::vector<uint8_t>& file = PngBytes();
    for (auto _ : state) {
        MemoryReader reader{file.data(), 0};
        png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
        png_infop info = png_create_info_struct(png);
        png_set_read_fn(png, &reader, ReadFromMemory);
        png_read_info(png, info);
        const png_uint_32 height = png_get_image_height(png, info);
        const size_t pitch = png_get_rowbytes(png, info);
        uint8_t* pixels = static_cast<uint8_t*>(std::malloc(pitch * height));
        for (png_uint_32 y = 0; y < height; ++y) png_read_row(png, pixels + y * pitch, nullptr);
        png_read_end(png, nullptr);
        png_destroy_read_struct(&png, &info, nullptr);
        benchmark::DoNotOptimize(pixels);
        std::free(pixels);
    }
    state.SetItemsProcessed(state.iterations());
}

BENCHMARK(BM_JpegThroughImage)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_JpegThroughLibjpeg)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PngThroughImage)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PngThroughLibpng)->Unit(benchmark::kMillisecond);

}  // namespace
