#include "render/JpegFile.h"

#include "core/Log.h"
#include "render/ImageFileCheck.h"

#include <csetjmp>
#include <cstdio>
#include <string>

#include <unistd.h>

// jpeglib.h needs size_t and FILE declared first.
#include <jpeglib.h>
#include <jerror.h>

namespace GAME {

namespace {

constexpr const char* kFormat = "JPEG";
constexpr int kQuality = 99;
// Encoders write about ten scans; hostile files can hold thousands, each a pass over the picture.
constexpr int kMaxScans = 100;

// libjpeg's error handler, and where its errors jump to. The manager comes first: libjpeg hands
// back its address.
struct JpegErrors {
    jpeg_error_mgr manager;
    std::jmp_buf escape;
    const char* why;  // set for the reasons that are ours, else libjpeg's message code holds it
};

[[noreturn]] void OnJpegError(j_common_ptr info) {
    std::longjmp(reinterpret_cast<JpegErrors*>(info->err)->escape, 1);
}

// Messages are not printed: failures are reported by the reader and writer.
void OnJpegMessage(j_common_ptr) {}

void OnJpegProgress(j_common_ptr info) {
    if (info->is_decompressor && reinterpret_cast<j_decompress_ptr>(info)->input_scan_number > kMaxScans) {
        JpegErrors& errors = *reinterpret_cast<JpegErrors*>(info->err);
        errors.why = "more scans than any encoder writes";
        std::longjmp(errors.escape, 1);
    }
}

void SetUpErrors(JpegErrors& errors) {
    jpeg_std_error(&errors.manager);
    errors.manager.error_exit = OnJpegError;
    errors.manager.output_message = OnJpegMessage;
    errors.why = nullptr;
}

// The reason libjpeg gave up or last warned.
std::string Reason(j_common_ptr info) {
    const JpegErrors& errors = *reinterpret_cast<const JpegErrors*>(info->err);
    if (errors.why != nullptr) return errors.why;
    char message[JMSG_LENGTH_MAX] = {};
    (*info->err->format_message)(info, message);
    return message;
}

// Reads the picture; libjpeg's errors jump back to the start. Only trivially destructible
// objects live in this frame, and image belongs to the caller.
Image::Error DecodeJpeg(jpeg_decompress_struct& info, const uint8_t* data, uint32_t size, Image& image,
                        uint32_t& fileBits) {
    JpegErrors& errors = *reinterpret_cast<JpegErrors*>(info.err);
    if (setjmp(errors.escape) != 0) {
        return errors.manager.msg_code == JERR_OUT_OF_MEMORY && errors.why == nullptr ? Image::Error::OutOfMemory
                                                                                       : Image::Error::BadFileData;
    }
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, data, size);
    jpeg_read_header(&info, TRUE);
    const Image::Error sizeError = ImageFileCheck::CheckSize(kFormat, info.image_width, info.image_height);
    if (sizeError != Image::Error::None) return sizeError;
    Image::Format format = Image::Format::None;
    if (info.num_components == 1) {
        info.out_color_space = JCS_GRAYSCALE;
        format = Image::Format::Luminance;
    } else if (info.num_components == 3 && (info.jpeg_color_space == JCS_YCbCr || info.jpeg_color_space == JCS_RGB)) {
        info.out_color_space = JCS_RGB;
        format = Image::Format::RGB;
    } else {
        return ImageFileCheck::Refuse(Image::Error::FormatNotSupported, kFormat, "only grey and colour files are read");
    }
    jpeg_start_decompress(&info);
    if (!image.Create(info.output_width, info.output_height, format)) return Image::Error::OutOfMemory;
    while (info.output_scanline < info.output_height) {
        JSAMPROW row = image.GetBuffer() + size_t(info.output_scanline) * image.GetPitch();
        jpeg_read_scanlines(&info, &row, 1);
    }
    jpeg_finish_decompress(&info);
    if (errors.manager.num_warnings != 0) return Image::Error::BadFileData;
    fileBits = image.GetBitsPerPixel();
    return Image::Error::None;
}

// Compresses the image into the open file; libjpeg's errors jump back to the start.
Image::Error EncodeJpeg(jpeg_compress_struct& info, std::FILE* file, const Image& image) {
    JpegErrors& errors = *reinterpret_cast<JpegErrors*>(info.err);
    if (setjmp(errors.escape) != 0) {
        switch (errors.manager.msg_code) {
            case JERR_OUT_OF_MEMORY: return Image::Error::OutOfMemory;
            case JERR_FILE_WRITE: return Image::Error::FileReadWriteError;
            default: return Image::Error::Other;
        }
    }
    jpeg_create_compress(&info);
    jpeg_stdio_dest(&info, file);
    info.image_width = image.GetWidth();
    info.image_height = image.GetHeight();
    switch (image.GetFormat()) {
        case Image::Format::Luminance:
            info.input_components = 1;
            info.in_color_space = JCS_GRAYSCALE;
            break;
        case Image::Format::RGBA:
            info.input_components = 4;
            info.in_color_space = JCS_EXT_RGBA;
            break;
        default:
            info.input_components = 3;
            info.in_color_space = JCS_RGB;
            break;
    }
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, kQuality, TRUE);
    jpeg_start_compress(&info, TRUE);
    while (info.next_scanline < info.image_height) {
        // libjpeg does not write to the rows it is given.
        JSAMPROW row = const_cast<uint8_t*>(image.GetBuffer()) + size_t(info.next_scanline) * image.GetPitch();
        jpeg_write_scanlines(&info, &row, 1);
    }
    jpeg_finish_compress(&info);
    return Image::Error::None;
}

}  // namespace

Image::Error JpegFile::Read(const uint8_t* data, uint32_t size, Image& image, uint32_t& fileBits) {
    JpegErrors errors;
    SetUpErrors(errors);
    jpeg_progress_mgr progress = {};
    progress.progress_monitor = OnJpegProgress;
    jpeg_decompress_struct info = {};
    info.err = &errors.manager;
    info.progress = &progress;
    const Image::Error error = DecodeJpeg(info, data, size, image, fileBits);
    if (error == Image::Error::BadFileData) ImageFileCheck::Refuse(error, kFormat, Reason(reinterpret_cast<j_common_ptr>(&info)).c_str());
    jpeg_destroy_decompress(&info);
    return error;
}

Image::Error JpegFile::Write(const Image& image, const char* path) {
    const std::string temporary = std::string(path) + ".tmp";
    std::FILE* file = std::fopen(temporary.c_str(), "wb");
    if (file == nullptr) {
        Log(LogPriority::Error, "Image: %s cannot be made", temporary.c_str());
        return Image::Error::FileCannotBeOpened;
    }
    JpegErrors errors;
    SetUpErrors(errors);
    jpeg_compress_struct info = {};
    info.err = &errors.manager;
    Image::Error error = EncodeJpeg(info, file, image);
    if (error != Image::Error::None) {
        Log(LogPriority::Error, "Image: %s could not be written: %s", path, Reason(reinterpret_cast<j_common_ptr>(&info)).c_str());
    }
    jpeg_destroy_compress(&info);
    // On disk before it replaces the earlier file.
    const bool synced = std::fflush(file) == 0 && fsync(fileno(file)) == 0;
    if ((std::fclose(file) != 0 || !synced) && error == Image::Error::None) {
        Log(LogPriority::Error, "Image: %s could not be written", path);
        error = Image::Error::FileReadWriteError;
    }
    if (error == Image::Error::None && std::rename(temporary.c_str(), path) != 0) {
        Log(LogPriority::Error, "Image: %s could not be put in place", path);
        error = Image::Error::FileReadWriteError;
    }
    if (error != Image::Error::None) std::remove(temporary.c_str());
    return error;
}

}  // namespace GAME
