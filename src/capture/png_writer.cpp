// PNG files through libpng, whose errors come back through setjmp.
#include "capture/png_writer.h"

#include <png.h>

#include <cerrno>
#include <csetjmp>
#include <cstdio>
#include <cstring>

namespace {

struct PngFailure {
    char message[160] = {};
};

void onPngError(png_structp png, png_const_charp message) {
    auto* failure = static_cast<PngFailure*>(png_get_error_ptr(png));
    std::snprintf(failure->message, sizeof failure->message, "%s", message);
    png_longjmp(png, 1);
}

void onPngWarning(png_structp, png_const_charp) {}

} // namespace

bool writePng(std::FILE* file, const uint32_t* pixels, int32_t width, int32_t height, size_t stride,
              std::string& error) {
    PngFailure failure;
    png_structp png =
        png_create_write_struct(PNG_LIBPNG_VER_STRING, &failure, onPngError, onPngWarning);
    png_infop info = png != nullptr ? png_create_info_struct(png) : nullptr;
    if (info == nullptr) {
        png_destroy_write_struct(&png, nullptr);
        error = "cannot start libpng";
        return false;
    }
    errno = 0;
    // Only the library's own state changes between setjmp and longjmp.
    if (setjmp(png_jmpbuf(png))) {
        const int cause = errno;
        png_destroy_write_struct(&png, &info);
        error = cause != 0 ? std::strerror(cause) : failure.message;
        return false;
    }
    png_init_io(png, file);
    png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8,
                 PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    png_set_filler(png, 0, PNG_FILLER_AFTER); // the fourth byte of each pixel is not written
    const auto* rows = reinterpret_cast<const uint8_t*>(pixels);
    for (int32_t y = 0; y < height; ++y) png_write_row(png, rows + static_cast<size_t>(y) * stride);
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return true;
}
