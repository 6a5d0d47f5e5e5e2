#include "plot/QuickPng.h"

#include <zlib.h>

#include <array>
#include <cstdint>
#include <vector>

namespace morvane::plot {
namespace {

void PutBig32(QByteArray& out, std::uint32_t v) {
    const std::array<char, 4> bytes{static_cast<char>(v >> 24), static_cast<char>(v >> 16),
                                    static_cast<char>(v >> 8), static_cast<char>(v)};
    out.append(bytes.data(), 4);
}

// A chunk: its length, type, data and the CRC of type and data.
void PutChunk(QByteArray& out, const char* type, const QByteArray& data) {
    PutBig32(out, static_cast<std::uint32_t>(data.size()));
    const qsizetype start = out.size();
    out.append(type, 4);
    out.append(data);
    const uLong crc = crc32(0L, reinterpret_cast<const Bytef*>(out.constData() + start),
                            static_cast<uInt>(out.size() - start));
    PutBig32(out, static_cast<std::uint32_t>(crc));
}

}  // namespace

QByteArray QuickPng(const QImage& image) {
    const int width = image.width(), height = image.height();
    const auto rowBytes = static_cast<std::size_t>(width) * 3;
    z_stream z{};
    if (deflateInit(&z, Z_BEST_SPEED) != Z_OK) return {};
    QByteArray idat;
    std::vector<unsigned char> row(rowBytes + 1), previous(rowBytes, 0), current(rowBytes);
    std::vector<unsigned char> chunk(1 << 16);
    bool failed = false, finished = false;
    for (int y = 0; y < height && !failed; ++y) {
        const auto* pixels = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = 0; x < width; ++x) {
            const auto i = static_cast<std::size_t>(x) * 3;
            current[i] = static_cast<unsigned char>(qRed(pixels[x]));
            current[i + 1] = static_cast<unsigned char>(qGreen(pixels[x]));
            current[i + 2] = static_cast<unsigned char>(qBlue(pixels[x]));
        }
        row[0] = 2;  // up: each byte less the byte above it
        for (std::size_t i = 0; i < rowBytes; ++i)
            row[i + 1] = static_cast<unsigned char>(current[i] - previous[i]);
        previous.swap(current);
        z.next_in = row.data();
        z.avail_in = static_cast<uInt>(row.size());
        const int flush = y + 1 == height ? Z_FINISH : Z_NO_FLUSH;
        do {
            z.next_out = chunk.data();
            z.avail_out = static_cast<uInt>(chunk.size());
            // Z_BUF_ERROR is no fault: a call with nothing left to do.
            const int status = deflate(&z, flush);
            if (status == Z_STREAM_ERROR) failed = true;
            if (status == Z_STREAM_END) finished = true;
            idat.append(reinterpret_cast<const char*>(chunk.data()),
                        static_cast<qsizetype>(chunk.size() - z.avail_out));
        } while (!failed && z.avail_out == 0);
    }
    deflateEnd(&z);
    if (failed || !finished) return {};
    QByteArray png("\x89PNG\r\n\x1a\n", 8), header;
    PutBig32(header, static_cast<std::uint32_t>(width));
    PutBig32(header, static_cast<std::uint32_t>(height));
    header.append("\x08\x02\x00\x00\x00", 5);  // 8 bits, RGB, deflate, filters, no interlace
    PutChunk(png, "IHDR", header);
    QByteArray physical;
    PutBig32(physical, static_cast<std::uint32_t>(image.dotsPerMeterX()));
    PutBig32(physical, static_cast<std::uint32_t>(image.dotsPerMeterY()));
    physical.append('\x01');  // the unit is the metre
    PutChunk(png, "pHYs", physical);
    PutChunk(png, "IDAT", idat);
    PutChunk(png, "IEND", QByteArray());
    return png;
}

}  // namespace morvane::plot
