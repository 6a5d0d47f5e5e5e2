#include "properties/Shapes.h"

#include <algorithm>
#include <cstdint>

namespace morvane::properties {
namespace {

// Level counts around the analysis' bounds (100 levels compared, 50,000 pairs).
constexpr std::int64_t kLevels[] = {1, 2, 3, 7, 100, 101, 300, 1000};
// Cells at most, so that one input stays within a fraction of a second.
constexpr std::int64_t kMostCells = 100000;

std::uint8_t At(std::string_view bytes, std::size_t i) {
    return i < bytes.size() ? static_cast<std::uint8_t>(bytes[i]) : 0;
}

}  // namespace

std::string ExpandShape(std::string_view bytes) {
    if (!bytes.starts_with(kShapeMark)) return std::string(bytes);
    const std::string_view shape = bytes.substr(kShapeMark.size());
    const std::int64_t na = kLevels[At(shape, 0) % 8];
    const std::int64_t nb = std::min(kLevels[At(shape, 1) % 8], std::max<std::int64_t>(1, kMostCells / na));
    const std::int64_t n = 1 + At(shape, 2) % 4;
    const std::size_t nameLength = std::size_t{1} << (At(shape, 3) % 23);            // up to 4 MiB
    const std::size_t fieldLength = std::size_t{1} << (At(shape, 4) % 23);           // up to 4 MiB
    const std::int64_t cells = n * na * nb, longField = At(shape, 5) % (cells + 1);  // cells: none
    std::string_view texts = shape.size() > 6 ? shape.substr(6) : std::string_view("1");
    std::size_t next = 0;
    const auto text = [&]() {  // one line of the texts, cycled
        const std::size_t end = std::min(texts.find('\n', next), texts.size());
        std::string line(texts.substr(next, end - next));
        next = end + 1 >= texts.size() ? 0 : end + 1;
        return line;
    };
    std::string file = std::to_string(n) + "\r\n" + std::to_string(na) + "\r\n" + std::to_string(nb) + "\r\n";
    file += std::string(nameLength, 'a') + "\r\n";
    for (std::int64_t a = 1; a < na; ++a) file += "a" + std::to_string(a) + "\r\n";
    for (std::int64_t b = 0; b < nb; ++b) file += "b" + std::to_string(b) + "\r\n";
    for (std::int64_t i = 0; i < cells; ++i) {
        if (i == longField) {
            file += std::string(fieldLength, '7') + text() + "\r\n";
        } else {
            const std::string score = text();
            file += (score.empty() ? std::to_string(i % 10) : score) + "\r\n";
        }
    }
    return file;
}

}  // namespace morvane::properties
