#include "StudyGenerator.h"

#include <random>

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

DesignData LargeDesign(bool groups) {
    DesignData d;
    if (groups) d.between.push_back({"group", {"g1", "g2", "g3"}});
    for (const char* name : {"A", "B"}) {
        DesignFactor f{name, {}};
        for (int l = 1; l <= 10; ++l) f.levels.push_back(name + std::to_string(l));
        d.within.push_back(f);
    }
    const int sizes[] = {2900, 3300, 3800};
    std::mt19937_64 random(7);
    std::uniform_int_distribution<int> subject(-2000, 2000), noise(-3000, 3000);
    d.exact = true;
    d.scale = 2;
    for (int g = 0; g < 3; ++g)
        for (int s = 0; s < sizes[g]; ++s) {
            d.subjects.push_back("s" + std::to_string(d.subjects.size() + 1));
            d.group.push_back(groups ? g : 0);
            const int level = subject(random) + 5000;
            for (int c = 0; c < 100; ++c) {
                const Int128 units = level + 40 * (c % 10) + 25 * g * (c / 10) + noise(random);
                d.units.push_back(units);
                d.rows.push_back(1);
                d.values.push_back(static_cast<long double>(units) / 100);
            }
        }
    d.subjectsRead = static_cast<std::int64_t>(d.subjects.size());
    return d;
}

}  // namespace morvane::bench
