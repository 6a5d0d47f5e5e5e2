#include "plot/QuickPng.h"

#include <png.h>

#include <csetjmp>
#include <cstddef>
#include <vector>

namespace morvane::plot {
namespace {

void AppendToBytes(png_structp png, png_bytep data, png_size_t length) {
    auto* out = static_cast<QByteArray*>(png_get_io_ptr(png));
    out->append(reinterpret_cast<const char*>(data), static_cast<qsizetype>(length));
}

void NothingToFlush(png_structp) {}

// libpng's errors end in a longjmp back into QuickPng; its warnings (none
// are expected of a plain RGB image) are not worth a line on standard error.
void IgnoreWarning(png_structp, png_const_charp) {}

// The rows of libpng's writing, converted from the image one at a time so that
// an 8192 x 8192 plot needs one row of RGB bytes beside the image.
bool WriteRows(png_structp png, png_infop info, const QImage& image, std::vector<png_byte>& row) {
    if (setjmp(png_jmpbuf(png))) return false;
    png_set_IHDR(png, info, static_cast<png_uint_32>(image.width()), static_cast<png_uint_32>(image.height()), 8,
                 PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_set_pHYs(png, info, static_cast<png_uint_32>(image.dotsPerMeterX()),
                 static_cast<png_uint_32>(image.dotsPerMeterY()), PNG_RESOLUTION_METER);
    png_write_info(png, info);
    for (int y = 0; y < image.height(); ++y) {
        const auto* pixels = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            const auto i = static_cast<std::size_t>(x) * 3;
            row[i] = static_cast<png_byte>(qRed(pixels[x]));
            row[i + 1] = static_cast<png_byte>(qGreen(pixels[x]));
            row[i + 2] = static_cast<png_byte>(qBlue(pixels[x]));
        }
        png_write_row(png, row.data());
    }
    png_write_end(png, nullptr);
    return true;
}

}  // namespace

QByteArray QuickPng(const QImage& image) {
    QByteArray out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, IgnoreWarning);
    if (png == nullptr) return {};
    png_infop info = png_create_info_struct(png);
    if (info == nullptr) {
        png_destroy_write_struct(&png, nullptr);
        return {};
    }
    png_set_write_fn(png, &out, AppendToBytes, NothingToFlush);
    // The "up" filter alone and zlib's fastest level: rows of a plot are
    // nearly all the same as the row above, and the filter search costs more
    // than it saves there.
    png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_FILTER_UP);
    png_set_compression_level(png, 1);
    std::vector<png_byte> row(static_cast<std::size_t>(image.width()) * 3);
    const bool written = WriteRows(png, info, image, row);
    png_destroy_write_struct(&png, &info);
    return written ? out : QByteArray();
}

}  // namespace morvane::plot
