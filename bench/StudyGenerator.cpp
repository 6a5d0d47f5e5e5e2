#include "StudyGenerator.h"

#include "runtime/TextWriter.h"

namespace morvane::bench {
namespace {

// splitmix64: fast, and the same sequence on every machine.
std::uint64_t Next(std::uint64_t& state) {
    std::uint64_t z = (state += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

}  // namespace

void WriteRandomStudy(const std::string& path, std::int32_t n, std::int32_t na, std::int32_t nb,
                      std::uint64_t seed) {
    WriteTextFile(path, [&](TextWriter& file) {
        file.WriteLine(std::to_string(n));
        file.WriteLine(std::to_string(na));
        file.WriteLine(std::to_string(nb));
        for (std::int32_t a = 1; a <= na; ++a) file.WriteLine("a" + std::to_string(a));
        for (std::int32_t b = 1; b <= nb; ++b) file.WriteLine("b" + std::to_string(b));
        std::uint64_t state = seed;
        const std::int64_t scores = std::int64_t{n} * na * nb;
        for (std::int64_t k = 0; k < scores; ++k) {
            const auto tenths = static_cast<unsigned>(Next(state) % 1000);
            file.WriteLine(std::to_string(tenths / 10) + "." + std::to_string(tenths % 10));
        }
    });
}

}  // namespace morvane::bench
