#include "render/JpegFile.h"

#include "core/AtomicFile.h"
#include "core/Log.h"

#include <csetjmp>
#include <cstdio>
#include <string>

// jpeglib.h needs size_t and FILE declared first.
#include <jpeglib.h>
#include <jerror.h>

namespace GAME {

namespace {

constexpr int kQuality = 99;
// Encoders write about ten scans; hostile files can hold thousands, each a pass over the picture.
constexpr int kMaxScans = 100;

// libjpeg's error handler, and where its errors jump to. The manager comes first: libjpeg hands
// back its address.
struct JpegErrors {
    jpeg_error_mgr manager;
    std::jmp_buf escape;
    const char* why;                // set for the reasons that are ours
    int code;                       // libjpeg's message code of the first warning or error
    char message[JMSG_LENGTH_MAX];  // and its text; empty while there is none
};

// Keeps the text of the first warning or error: it tells what went wrong, while later messages
// follow from it (a file cut short ends in a made-up end marker, then a missing part) or say
// nothing of it (trace lines).
void Remember(j_common_ptr info) {
    JpegErrors& errors = *reinterpret_cast<JpegErrors*>(info->err);
    if (errors.message[0] != '\0') return;
    errors.code = errors.manager.msg_code;
    (*errors.manager.format_message)(info, errors.message);
}

[[noreturn]] void OnJpegError(j_common_ptr info) {
    Remember(info);
    std::longjmp(reinterpret_cast<JpegErrors*>(info->err)->escape, 1);
}

// Messages are not printed: failures are reported by the reader and writer. Warnings (level -1)
// are counted, and the first one kept.
void OnJpegMessage(j_common_ptr info, int level) {
    if (level >= 0) return;
    ++info->err->num_warnings;
    Remember(info);
}

void OnJpegProgress(j_common_ptr info) {
    if (info->is_decompressor && reinterpret_cast<j_decompress_ptr>(info)->input_scan_number > kMaxScans) {
        JpegErrors& errors = *reinterpret_cast<JpegErrors*>(info->err);
        errors.why = "it holds more scans than any encoder writes";
        std::longjmp(errors.escape, 1);
    }
}

void SetUpErrors(JpegErrors& errors) {
    jpeg_std_error(&errors.manager);
    errors.manager.error_exit = OnJpegError;
    errors.manager.emit_message = OnJpegMessage;
    errors.why = nullptr;
    errors.code = 0;
    errors.message[0] = '\0';
}

// Why libjpeg gave up or what it first warned of.
std::string Reason(const JpegErrors& errors) {
    if (errors.why != nullptr) return std::string("the JPEG file is refused: ") + errors.why;
    const bool cut = errors.code == JWRN_JPEG_EOF || errors.code == JERR_INPUT_EOF || errors.code == JERR_INPUT_EMPTY;
    return std::string(cut ? "the JPEG file is cut short" : "the JPEG data is corrupt") + " (libjpeg: " +
           errors.message + ")";
}

// The colour of one CMYK pixel. Files with an Adobe marker (those of every common writer) store
// each ink inverted, 255 for none; others store the ink itself.
void CmykToRgb(const JSAMPLE* cmyk, bool inverted, uint8_t* rgb) {
    const uint32_t black = inverted ? cmyk[3] : 255u - cmyk[3];
    for (int c = 0; c < 3; ++c) {
        const uint32_t ink = inverted ? cmyk[c] : 255u - cmyk[c];
        rgb[c] = uint8_t((ink * black + 127u) / 255u);
    }
}

// Reads the picture; libjpeg's errors jump back to the start. Only trivially destructible
// objects live in this frame, and image belongs to the caller.
Image::Error DecodeJpeg(jpeg_decompress_struct& info, const uint8_t* data, uint32_t size, Image& image,
                        ImageFileCheck::Report& report) {
    JpegErrors& errors = *reinterpret_cast<JpegErrors*>(info.err);
    if (setjmp(errors.escape) != 0) {
        return errors.manager.msg_code == JERR_OUT_OF_MEMORY && errors.why == nullptr ? Image::Error::OutOfMemory
                                                                                       : Image::Error::BadFileData;
    }
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, data, size);
    jpeg_read_header(&info, TRUE);
    const Image::Error sizeError = ImageFileCheck::CheckSize(report, "JPEG", info.image_width, info.image_height);
    if (sizeError != Image::Error::None) return sizeError;
    const J_COLOR_SPACE space = info.jpeg_color_space;
    bool cmyk = false;
    Image::Format format = Image::Format::RGB;
    if (info.num_components == 1) {
        info.out_color_space = JCS_GRAYSCALE;
        format = Image::Format::Luminance;
    } else if (info.num_components == 3 && (space == JCS_YCbCr || space == JCS_RGB)) {
        info.out_color_space = JCS_RGB;
    } else if (info.num_components == 4 && (space == JCS_CMYK || space == JCS_YCCK)) {
        info.out_color_space = JCS_CMYK;  // libjpeg turns YCCK into CMYK, not into RGB
        cmyk = true;
    } else {
        return ImageFileCheck::Refuse(report, Image::Error::FormatNotSupported,
                                      "a JPEG picture of %d components in colour space %d is not read; the JPEG forms "
                                      "read are grey, YCbCr, RGB, CMYK and YCCK pictures",
                                      info.num_components, int(space));
    }
    jpeg_start_decompress(&info);
    if (!image.Create(info.output_width, info.output_height, format)) return Image::Error::OutOfMemory;
    // CMYK rows go through a row of libjpeg's, released with it.
    JSAMPARRAY inks = cmyk ? (*info.mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(&info), JPOOL_IMAGE,
                                                      info.output_width * 4, 1)
                           : nullptr;
    while (info.output_scanline < info.output_height) {
        uint8_t* out = image.GetBuffer() + size_t(info.output_scanline) * image.GetPitch();
        JSAMPROW row = cmyk ? inks[0] : out;
        if (jpeg_read_scanlines(&info, &row, 1) != 1 || !cmyk) continue;
        for (JDIMENSION x = 0; x < info.output_width; ++x) CmykToRgb(row + x * 4, info.saw_Adobe_marker, out + x * 3);
    }
    jpeg_finish_decompress(&info);
    if (errors.manager.num_warnings != 0) return Image::Error::BadFileData;
    report.fileBits = image.GetBitsPerPixel();
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

Image::Error JpegFile::Read(const uint8_t* data, uint32_t size, Image& image, ImageFileCheck::Report& report) {
    JpegErrors errors;
    SetUpErrors(errors);
    jpeg_progress_mgr progress = {};
    progress.progress_monitor = OnJpegProgress;
    jpeg_decompress_struct info = {};
    info.err = &errors.manager;
    info.progress = &progress;
    const Image::Error error = DecodeJpeg(info, data, size, image, report);
    if (error == Image::Error::BadFileData && report.why.empty()) report.why = Reason(errors);
    jpeg_destroy_decompress(&info);
    return error;
}

Image::Error JpegFile::Write(const Image& image, const char* path) {
    AtomicFile save(path);
    std::FILE* file = save.IsOpen() ? std::fopen(save.GetTemporaryPath().c_str(), "wb") : nullptr;
    if (file == nullptr) {
        Log(LogPriority::Error, "Image: %s cannot be made", path);
        return Image::Error::FileCannotBeOpened;
    }
    JpegErrors errors;
    SetUpErrors(errors);
    jpeg_compress_struct info = {};
    info.err = &errors.manager;
    Image::Error error = EncodeJpeg(info, file, image);
    if (error != Image::Error::None) {
        Log(LogPriority::Error, "Image: \"%s\" could not be written: %s", path, errors.message);
    }
    jpeg_destroy_compress(&info);
    if (std::fclose(file) != 0 && error == Image::Error::None) {
        Log(LogPriority::Error, "Image: %s could not be written", path);
        error = Image::Error::FileReadWriteError;
    }
    if (error == Image::Error::None && !save.Commit()) {
        Log(LogPriority::Error, "Image: %s could not be put in place", path);
        error = Image::Error::FileReadWriteError;
    }
    return error;
}

}  // namespace GAME
