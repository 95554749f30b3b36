#include "about/UJpegPicture.h"

#include <csetjmp>
#include <cstdio>  // jpeglib.h needs FILE
#include <limits>
#include <new>
#include <utility>
#include <vector>

#include <jpeglib.h>

namespace tarvik::about {
namespace {

// libjpeg reports a fatal error through error_exit, which must not return: ours jumps
// back into the decoding step that is running. Warnings (corrupt data, a premature end)
// jump back as well, so a damaged picture is never half shown; messages are dropped.
//
// The steps that call setjmp hold only plain data, and nothing with a destructor lives
// between them and libjpeg's frames, so the jump skips no C++ clean-up.
struct TJpegErrors {
    jpeg_error_mgr Manager;
    std::jmp_buf Jump;
};

void ErrorExit(j_common_ptr info) {
    std::longjmp(reinterpret_cast<TJpegErrors*>(info->err)->Jump, 1);
}

void EmitMessage(j_common_ptr info, int level) {
    if (level < 0) {  // a warning: the data is damaged
        std::longjmp(reinterpret_cast<TJpegErrors*>(info->err)->Jump, 1);
    }
}

void OutputMessage(j_common_ptr) {}

// Reads the header and starts decompressing into blue, green, red. False on any error.
bool StartDecoding(jpeg_decompress_struct& info, TJpegErrors& errors, const std::uint8_t* data,
                   std::size_t size) {
    if (setjmp(errors.Jump) != 0) {
        return false;
    }
    jpeg_mem_src(&info, data, static_cast<unsigned long>(size));
    if (jpeg_read_header(&info, TRUE) != JPEG_HEADER_OK) {
        return false;
    }
    if (info.image_width == 0 || info.image_height == 0 ||
        static_cast<std::size_t>(info.image_width) * info.image_height > kMaxJpegPixels) {
        return false;
    }
    info.out_color_space = JCS_EXT_BGR;
    jpeg_start_decompress(&info);
    return info.output_components == 3;
}

// Decodes every row into pixels (stride bytes apart) and checks the end of the data.
bool ReadRows(jpeg_decompress_struct& info, TJpegErrors& errors, std::uint8_t* pixels, std::size_t stride) {
    if (setjmp(errors.Jump) != 0) {
        return false;
    }
    while (info.output_scanline < info.output_height) {
        JSAMPROW row = pixels + stride * info.output_scanline;
        if (jpeg_read_scanlines(&info, &row, 1) != 1) {
            return false;
        }
    }
    return jpeg_finish_decompress(&info) == TRUE;
}

// Creates the decompressor; false when libjpeg fails to (out of memory).
bool CreateDecompressor(jpeg_decompress_struct& info, TJpegErrors& errors) {
    if (setjmp(errors.Jump) != 0) {
        return false;
    }
    jpeg_create_decompress(&info);
    return true;
}

}  // namespace

ui::PixelPicture DecodeJpeg(const std::uint8_t* data, std::size_t size) noexcept {
    ui::PixelPicture picture;
    if (data == nullptr || size == 0 || size > std::numeric_limits<unsigned long>::max()) {
        return picture;
    }
    TJpegErrors errors{};
    jpeg_decompress_struct info{};
    info.err = jpeg_std_error(&errors.Manager);
    errors.Manager.error_exit = ErrorExit;
    errors.Manager.emit_message = EmitMessage;
    errors.Manager.output_message = OutputMessage;
    if (!CreateDecompressor(info, errors)) {
        jpeg_destroy_decompress(&info);
        return picture;
    }
    if (StartDecoding(info, errors, data, size)) {
        const std::size_t stride = (static_cast<std::size_t>(info.output_width) * 3 + 3) & ~std::size_t{3};
        std::vector<std::uint8_t> pixels;
        try {
            pixels.resize(stride * info.output_height);
        } catch (const std::bad_alloc&) {
            pixels.clear();
        }
        if (!pixels.empty() && ReadRows(info, errors, pixels.data(), stride)) {
            picture.width = static_cast<int>(info.output_width);
            picture.height = static_cast<int>(info.output_height);
            picture.stride = stride;
            picture.bgr = std::move(pixels);
        }
    }
    jpeg_destroy_decompress(&info);
    return picture;
}

}  // namespace tarvik::about
