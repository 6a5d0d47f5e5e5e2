// Round-trip properties on random cases from a fixed seed, so that every run
// checks the same cases and a failure names the case that broke.

#include <gtest/gtest.h>

#include <cstdlib>
#include <random>

#include "scores/ScoreSyntax.h"
#include "properties/DataFileModel.h"
#include "properties/DataFileProperties.h"
#include "properties/MemoryFile.h"
#include "properties/NumberFormatProperties.h"
#include "properties/ScoreSyntaxProperties.h"
#include "properties/Violation.h"
#include "runtime/Errors.h"
#include "store/DataFile.h"
#include "store/StudyStore.h"

namespace morvane {
namespace {

using properties::ModelStudy;

// A deterministic source of small random choices (the engine's sequence is
// fixed by the standard; the mappings below are ours, so every platform draws
// the same cases).
class Random {
public:
    explicit Random(std::uint64_t seed) : engine_(seed) {}
    std::int64_t Between(std::int64_t low, std::int64_t high) {
        return low + static_cast<std::int64_t>(engine_() % static_cast<std::uint64_t>(high - low + 1));
    }
    bool OneIn(int n) { return Between(1, n) == 1; }
    char Byte() { return static_cast<char>(Between(0, 255)); }
    template <typename T>
    const T& Pick(std::initializer_list<T> choices) {
        return choices.begin()[Between(0, static_cast<std::int64_t>(choices.size()) - 1)];
    }

private:
    std::mt19937_64 engine_;
};

// `base` cases, times MORVANE_PROPERTY_SCALE when it is set (for longer runs);
// the seeds stay, so a longer run checks the same cases first.
int Cases(int base) {
    const char* scale = std::getenv("MORVANE_PROPERTY_SCALE");
    const int factor = scale != nullptr ? std::atoi(scale) : 1;
    return base * (factor > 0 ? factor : 1);
}

// Any bytes but CR and LF: empty texts, single spaces, Shift-JIS pairs, 0x1A and,
// one time in `longOneIn`, a text long enough to cross the reader's 64 KiB buffer.
std::string RandomText(Random& random, int longOneIn) {
    if (random.OneIn(longOneIn))
        return std::string(static_cast<std::size_t>(random.Between(65000, 140000)), 'L');
    switch (random.Between(0, 7)) {
        case 0:
            return "";
        case 1:
            return " ";
        default:
            break;
    }
    std::string text(static_cast<std::size_t>(random.Between(1, 24)), ' ');
    for (char& c : text) {
        do c = random.Byte();
        while (c == '\r' || c == '\n');
    }
    return text;
}

std::int32_t RandomLevels(Random& random, bool rawReader) {
    if (rawReader && random.OneIn(8)) return static_cast<std::int32_t>(random.Between(-1, 0));
    return static_cast<std::int32_t>(random.Between(1, 5));
}

ModelStudy RandomStudy(Random& random) {
    ModelStudy study;
    study.n = static_cast<std::int32_t>(random.OneIn(10) ? random.Between(-1, 3000) : random.Between(-1, 12));
    study.na = RandomLevels(random, true);
    study.nb = RandomLevels(random, true);
    if (study.n > 1000) study.nb = std::min(study.nb, 2);  // keeps a case below 10^4 cells
    for (std::int32_t a = 1; a <= study.na; ++a) study.namesA.push_back(RandomText(random, 10));
    for (std::int32_t b = 1; b <= study.nb; ++b) study.namesB.push_back(RandomText(random, 10));
    if (study.n > 0 && study.na > 0 && study.nb > 0)
        for (std::int64_t i = 0; i < std::int64_t{study.n} * study.na * study.nb; ++i)
            study.scores.push_back(random.OneIn(20) ? RandomText(random, 500)
                                                    : std::to_string(random.Between(0, 99)));
    study.countsRead = 3;
    return study;
}

// The store the windows would hold for the study.
void FillStore(StudyStore& store, const ModelStudy& study) {
    store.SubjectCount = study.n;
    store.LevelCountA = study.na;
    store.LevelCountB = study.nb;
    SizeNames(store.LevelNamesA, std::int64_t{study.na} + 1);
    SizeNames(store.LevelNamesB, std::int64_t{study.nb} + 1);
    SizeCellText(store);
    for (std::int32_t a = 1; a <= study.na; ++a)
        store.LevelNamesA[static_cast<std::size_t>(a)] = study.namesA[static_cast<std::size_t>(a - 1)];
    for (std::int32_t b = 1; b <= study.nb; ++b)
        store.LevelNamesB[static_cast<std::size_t>(b)] = study.namesB[static_cast<std::size_t>(b - 1)];
    for (std::int32_t a = 1; a <= study.na; ++a)
        for (std::int32_t b = 1; b <= study.nb; ++b)
            for (std::int32_t s = 1; s <= study.n; ++s) store.CellText(s, a, b) = study.Score(s, a, b);
}

TEST(RoundTrip, RandomStudiesAreWrittenAndReadBackIdentical) {
    Random random(20240611);
    properties::MemoryFile file;
    const int kCases = Cases(400);
    std::int64_t cells = 0, bytes = 0;
    for (int i = 0; i < kCases; ++i) {
        const ModelStudy study = RandomStudy(random);
        StudyStore store;
        FillStore(store, study);
        WriteDataFile(store, file.Path());
        const std::string written = file.Get();
        ASSERT_EQ(written, properties::WriteModel(study)) << "case " << i;

        StudyStore back;
        ReadDataFile(back, file.Path());
        try {
            properties::RequireStoreMatches(back, study);
        } catch (const properties::Violation& violation) {
            FAIL() << "case " << i << " (N " << study.n << ", na " << study.na << ", nb " << study.nb
                   << "): " << violation.what();
        }
        cells += static_cast<std::int64_t>(study.scores.size());
        bytes += static_cast<std::int64_t>(written.size());
    }
    std::printf("[ stats    ] %d studies, %lld score texts, %lld bytes written and read back\n", kCases,
                static_cast<long long>(cells), static_cast<long long>(bytes));
}

// A CR or LF put into any one text, in the store or by the write-back: the study
// is refused and nothing is written that would read back as another study. The
// old file stays, whether the store held the text or the write-back brought it
// (the file here is written in place, and gets its bytes only when they are
// whole); a study without one is written as before.
TEST(RoundTrip, TextsWithLineEndsAreRefusedAndNeverWrittenShifted) {
    Random random(20240612);
    properties::MemoryFile file;
    const std::string old = "old\r\n";
    const int kCases = Cases(600);
    int outcomes[3] = {};  // written, refused before the creation, refused after the write-back
    for (int i = 0; i < kCases; ++i) {
        const ModelStudy study = RandomStudy(random);
        StudyStore store;
        FillStore(store, study);
        // A text is a level name (name != nullptr) or the score text of a cell.
        struct Text {
            std::string* name;
            std::int32_t s, a, b;
        };
        std::vector<Text> texts, cells;
        for (std::int32_t a = 1; a <= study.na; ++a)
            texts.push_back({&store.LevelNamesA[static_cast<std::size_t>(a)], 0, 0, 0});
        for (std::int32_t b = 1; b <= study.nb; ++b)
            texts.push_back({&store.LevelNamesB[static_cast<std::size_t>(b)], 0, 0, 0});
        for (std::int32_t s = 1; s <= study.n; ++s)
            for (std::int32_t a = 1; a <= study.na; ++a)
                for (std::int32_t b = 1; b <= study.nb; ++b) cells.push_back({nullptr, s, a, b});
        texts.insert(texts.end(), cells.begin(), cells.end());
        auto spoil = [&](std::vector<Text>& among) {
            const Text& chosen = among[static_cast<std::size_t>(random.Between(0, std::ssize(among) - 1))];
            std::string text = chosen.name ? *chosen.name : std::string(store.CellText(chosen.s, chosen.a, chosen.b));
            const auto at = static_cast<std::size_t>(random.Between(0, std::ssize(text)));
            text.insert(at, random.Pick({"\r", "\n", "\r\n"}));
            if (chosen.name)
                *chosen.name = text;
            else
                store.CellText(chosen.s, chosen.a, chosen.b) = text;
        };
        const std::int64_t mode = random.Between(0, 2);
        const bool inStore = mode == 1 && !texts.empty(), byWriteBack = mode == 2 && !cells.empty();
        if (inStore) spoil(texts);

        file.Set(old);
        bool wroteBack = false, refused = false;
        try {
            WriteDataFile(store, file.Path(), [&](StudyStore&) {
                wroteBack = true;
                if (byWriteBack) spoil(cells);
            });
        } catch (const LineEndInTextError&) {
            refused = true;
        }
        if (inStore) {
            ASSERT_TRUE(refused && !wroteBack && file.Get() == old) << "case " << i;
            ++outcomes[1];
        } else if (byWriteBack) {
            ASSERT_TRUE(refused && wroteBack && file.Get() == old) << "case " << i;
            ++outcomes[2];
        } else {
            ASSERT_FALSE(refused) << "case " << i;
            ASSERT_EQ(file.Get(), properties::WriteModel(study)) << "case " << i;
            ++outcomes[0];
        }
    }
    std::printf(
        "[ stats    ] line ends: %d studies written, %d refused before the creation, %d after the "
        "write-back\n",
        outcomes[0], outcomes[1], outcomes[2]);
    for (int count : outcomes) EXPECT_GT(count, kCases / 5);
}

// Valid files cut short or with bytes changed, inserted or removed: the reader
// agrees with the model whatever it is given.
TEST(RoundTrip, DamagedFilesReadLikeTheModel) {
    Random random(7);
    properties::MemoryFile file;
    const int kCases = Cases(3000);
    int outcomes[5] = {};
    for (int i = 0; i < kCases; ++i) {
        ModelStudy study = RandomStudy(random);
        if (study.scores.size() > 2000 || study.namesA.size() + study.namesB.size() > 6) continue;
        std::string bytes = properties::WriteModel(study);
        for (std::int64_t edits = random.Between(1, 4); edits > 0; --edits) {
            auto at = static_cast<std::size_t>(random.Between(0, static_cast<std::int64_t>(bytes.size())));
            char c = random.OneIn(2) ? random.Pick({'\r', '\n', ' ', '-', '$', 'x', '0', '9', '\x1a'})
                                     : random.Byte();
            switch (random.Between(0, 3)) {
                case 0:
                    bytes.resize(at);
                    break;  // cut short, as by a truncation between runs
                case 1:
                    bytes.insert(at, 1, c);
                    break;
                case 2:
                    if (at < bytes.size()) bytes[at] = c;
                    break;
                default:
                    if (at < bytes.size()) bytes.erase(at, 1);
                    break;
            }
        }
        try {
            ++outcomes[static_cast<int>(properties::CheckDataFileBytes(bytes, 1 << 20))];
        } catch (const properties::Violation& violation) {
            FAIL() << "case " << i << ": " << violation.what();
        }
    }
    std::printf("[ stats    ] damaged files: %d read, %d not a number, %d range check, %d out of memory\n",
                outcomes[0], outcomes[1], outcomes[2], outcomes[3]);
    EXPECT_GT(outcomes[0], 100);
    EXPECT_GT(outcomes[1], 10);
}

std::string Digits(Random& random, std::int64_t most) {
    std::string digits(static_cast<std::size_t>(random.Between(0, most)), '0');
    for (char& c : digits) c = static_cast<char>('0' + random.Between(0, 9));
    return digits;
}

// A text of the score form: spaces, sign, digits, separator, fraction, exponent.
std::string RandomScore(Random& random, char separator) {
    std::string text(static_cast<std::size_t>(random.Between(0, 2)), ' ');
    if (random.OneIn(3)) text += random.Pick({'+', '-'});
    std::string integer = Digits(random, random.OneIn(4) ? 40 : 8);
    std::string fraction = random.OneIn(2) ? Digits(random, random.OneIn(4) ? 40 : 8) : "";
    if (integer.empty() && fraction.empty()) integer = "0";
    text += integer;
    if (!fraction.empty() || random.OneIn(4)) text += separator + fraction;
    if (random.OneIn(2)) {
        text += random.Pick({'e', 'E'});
        if (random.OneIn(2)) text += random.Pick({'+', '-'});
        // Small exponents mostly; now and then one near the ends of the range.
        text += std::to_string(random.OneIn(5) ? random.Between(4900, 4999) : random.Between(0, 40));
    }
    text.append(static_cast<std::size_t>(random.Between(0, 2)), ' ');
    return text;
}

TEST(RoundTrip, RandomScoreTextsParseLikeStrtold) {
    Random random(4932);
    const int kCases = Cases(100000);
    int accepted = 0;
    for (int i = 0; i < kCases; ++i) {
        const char separator = i % 2 == 0 ? '.' : ',';
        const std::string text = RandomScore(random, separator);
        std::string c = text;
        for (char& byte : c)
            if (byte == separator) byte = '.';
        char* end = nullptr;
        const Extended expected = std::strtold(c.c_str(), &end);  // the C locale: '.' separates
        ASSERT_EQ(std::string(end).find_first_not_of(' '), std::string::npos) << text;
        const auto value = ParseScore(text, separator);
        if (!std::isfinite(expected)) {
            EXPECT_EQ(value, std::nullopt) << "beyond the range: " << text;
            continue;
        }
        ASSERT_TRUE(value.has_value()) << text;
        ASSERT_EQ(*value, expected) << text;  // to the last bit
        ASSERT_EQ(std::signbit(*value), std::signbit(expected)) << text;
        ++accepted;
    }
    std::printf("[ stats    ] %d score texts, %d within range and equal to strtold\n", kCases, accepted);
    EXPECT_GT(accepted, kCases * 9 / 10);
}

// Texts near the form (one byte changed, inserted or removed) against the
// second reading of the grammar.
TEST(RoundTrip, DamagedScoreTextsAgreeWithTheGrammar) {
    Random random(1000);
    const int kCases = Cases(100000);
    int accepted = 0;
    for (int i = 0; i < kCases; ++i) {
        const char separator = i % 2 == 0 ? '.' : ',';
        std::string text = RandomScore(random, separator);
        auto at = static_cast<std::size_t>(random.Between(0, static_cast<std::int64_t>(text.size())));
        char c = random.Pick({' ', '\t', '.', ',', '+', '-', 'e', 'E', '0', '5', 'x', '\x82'});
        switch (random.Between(0, 2)) {
            case 0:
                text.insert(at, 1, c);
                break;
            case 1:
                if (at < text.size()) text[at] = c;
                break;
            default:
                if (at < text.size()) text.erase(at, 1);
                break;
        }
        try {
            if (properties::CheckScoreText(text, separator)) ++accepted;
        } catch (const properties::Violation& violation) {
            FAIL() << "case " << i << ": " << violation.what();
        }
    }
    std::printf("[ stats    ] %d damaged score texts, %d of them still scores\n", kCases, accepted);
}

// Values of every magnitude (denormals, both ends of the range, exact decimals,
// ties of the roundings) through FormatGeneral at the two precisions of the
// report and at every other from 1 to 18.
TEST(RoundTrip, RandomValuesFormatByTheirDefinition) {
    Random random(1849);
    const int kCases = Cases(100000);
    int scientific = 0;
    for (int i = 0; i < kCases; ++i) {
        Extended value = 0;
        switch (random.Between(0, 3)) {
            case 0: {  // any bit pattern of a finite value
                std::string bytes(12, '\0');
                for (char& c : bytes) c = random.Byte();
                bytes[8] = '\0';  // never the exponent of an infinity or a not-a-number
                bytes[10] =
                    static_cast<char>(random.Pick({std::int64_t{6}, std::int64_t{8}, random.Between(0, 17)}));
                try {
                    ASSERT_TRUE(properties::CheckFormatGeneralBytes(bytes));
                } catch (const properties::Violation& violation) {
                    FAIL() << "case " << i << ": " << violation.what();
                }
                continue;
            }
            case 1:  // a short decimal, often at a rounding tie of the kept digits
                value = static_cast<Extended>(random.Between(1, 99999999)) *
                        std::pow(10.0L, static_cast<Extended>(random.Between(-12, 12)));
                break;
            case 2:  // a mean of a few integer scores
                value = static_cast<Extended>(random.Between(-100000, 100000)) /
                        static_cast<Extended>(random.Between(1, 40));
                break;
            default:  // anywhere in the range
                value = std::ldexp(static_cast<Extended>(random.Between(1, INT64_MAX)),
                                   static_cast<int>(random.Between(-16445, 16320)));
                break;
        }
        if (random.OneIn(2)) value = -value;
        const int precision =
            static_cast<int>(random.Pick({std::int64_t{7}, std::int64_t{9}, random.Between(1, 18)}));
        try {
            properties::CheckFormatGeneral(value, precision, random.OneIn(2) ? '.' : ',');
        } catch (const properties::Violation& violation) {
            FAIL() << "case " << i << ": " << violation.what();
        }
        if (std::abs(value) >= 1e9L || std::abs(value) < 1e-4L) ++scientific;
    }
    std::printf("[ stats    ] %d values formatted, about %d of them in scientific notation\n", kCases,
                scientific);
}

}  // namespace
}  // namespace morvane
