// The study written as CSV.

#include <algorithm>
#include <array>
#include <tuple>
#include <unordered_map>
#include <unordered_set>

#include "exchange/Csv.h"
#include "exchange/ExchangeMessages.h"
#include "exchange/StudyCsv.h"
#include "runtime/Cp932.h"

namespace morvane {
namespace {

constexpr std::size_t kPieceSize = 1 << 16;

bool IsAscii(std::string_view text) {
    return std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

// What the score syntax skips around a number.
std::string_view TrimSpaces(std::string_view text) {
    const auto first = text.find_first_not_of(' ');
    if (first == std::string_view::npos) return {};
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

// A valid text as UTF-8, a NUL shown as U+FFFD: other programs would take
// it for the end of the text.
std::string Utf8Shown(std::string_view cp932) {
    return Utf8FromCp932(cp932);
}

std::vector<std::string> NamesUtf8(const NameArray& names, std::int32_t count, char factor,
                                   const CsvNotice& notice) {
    std::vector<std::string> utf8;
    for (std::int32_t level = 1; level <= count; ++level) {
        const std::string& name = names[static_cast<std::size_t>(level)];
        if (!Utf8FromCp932Exact(name)) throw CsvError(messages::StoredNameInvalid(factor, level));
        if (const auto respelled = FirstRespelling(name); respelled && notice)
            notice(messages::RespelledName(factor, level, respelled->character, respelled->comesBackAs));
        if (name.find('\0') != std::string::npos && notice) notice(messages::NulInName(factor, level));
        utf8.push_back(Utf8Shown(name));
    }
    return utf8;
}

bool Converts(std::string_view text) {
    return IsAscii(text) || Utf8FromCp932Exact(text);
}

// The first score, in the order of the rows, that a CSV brings back as other
// bytes, and how many do: looked for among the texts that are not ASCII alone.
struct Respelled {
    std::int64_t count = 0;
    std::tuple<std::int32_t, std::int32_t, std::int32_t> first;  // s, a, b
    Cp932Respelling respelling;

    void Add(std::int32_t s, std::int32_t a, std::int32_t b, Cp932Respelling found) {
        if (count++ == 0 || std::tuple(s, a, b) < first) {
            first = {s, a, b};
            respelling = std::move(found);
        }
    }
};

// Every score text must convert, checked before anything is written: in the
// order the store holds them, and only when one does not, again in the order
// of the rows to name the first. The texts that will not come back as they
// are make one notice.
void CheckScores(const StudyStore& store, const CsvNotice& notice) {
    const std::int32_t n = store.SubjectCount, na = store.LevelCountA, nb = store.LevelCountB;
    bool all = true;
    Respelled respelled;
    for (std::int32_t a = 1; a <= na && all; ++a)
        for (std::int32_t b = 1; b <= nb && all; ++b)
            for (std::int32_t s = 1; s <= n && all; ++s) {
                const std::string_view text = store.CellText(s, a, b);
                if (IsAscii(text)) continue;
                all = Converts(text);
                if (all && notice)
                    if (auto found = FirstRespelling(text)) respelled.Add(s, a, b, std::move(*found));
            }
    if (!all) {
        for (std::int32_t s = 1; s <= n; ++s)
            for (std::int32_t a = 1; a <= na; ++a)
                for (std::int32_t b = 1; b <= nb; ++b)
                    if (!Converts(store.CellText(s, a, b)))
                        throw CsvError(messages::StoredScoreInvalid(s, a, b));
    }
    if (respelled.count == 0) return;
    const auto [s, a, b] = respelled.first;
    notice(messages::RespelledScore(s, a, b, respelled.respelling.character, respelled.respelling.comesBackAs,
                                    respelled.count - 1));
}

// Collects the CSV and hands it on in pieces of about kPieceSize bytes.
class Pieces {
public:
    explicit Pieces(const CsvSink& sink) : sink_(sink) { text_.reserve(kPieceSize + 4096); }

    std::string& Text() { return text_; }
    void EndRecord() {
        text_.append("\r\n");
        if (text_.size() >= kPieceSize) Flush();
    }
    void Flush() {
        if (!text_.empty()) sink_(text_);
        text_.clear();
    }

private:
    const CsvSink& sink_;
    std::string text_;
};

// A stored score that goes out as it is: ASCII, with no space around it and
// nothing that needs quotes, as scores mostly are.
bool GoesOutUnchanged(std::string_view text) {
    static constexpr auto kSpecial = [] {
        std::array<bool, 256> special{};
        for (int c = 0x80; c < 0x100; ++c) special[static_cast<std::size_t>(c)] = true;
        for (char c : {',', ';', '\t', '"', '\r', '\n', '\0'}) special[static_cast<unsigned char>(c)] = true;
        return special;
    }();
    if (text.empty() || text.front() == ' ' || text.back() == ' ') return false;
    bool special = false;
    for (char c : text) special |= kSpecial[static_cast<unsigned char>(c)];
    return !special;
}

void AppendScore(std::string& out, std::string_view stored) {
    if (GoesOutUnchanged(stored)) {
        out.append(stored);
        return;
    }
    const std::string_view text = TrimSpaces(stored);
    if (IsAscii(text) && text.find('\0') == std::string_view::npos)
        csv::AppendField(out, text);
    else
        csv::AppendField(out, Utf8Shown(text));
}

std::string QuotedField(std::string_view text) {
    std::string field;
    csv::AppendField(field, text);
    return field;
}

}  // namespace

std::vector<std::string> WideHeader(const std::vector<std::string>& namesAUtf8,
                                    const std::vector<std::string>& namesBUtf8) {
    std::vector<std::string> header{"subject"};
    for (const std::string& a : namesAUtf8)
        for (const std::string& b : namesBUtf8) header.push_back(a + "_" + b);
    // A name that comes again gets the first free suffix, never the plain name of
    // a later column. A suffix found taken stays taken, so the search for a name
    // goes on from where it last stopped: thousands of columns of one name (levels
    // left unnamed) cost one step each, not a search from 2 each.
    const std::unordered_set<std::string> plain(header.begin(), header.end());
    std::unordered_set<std::string> used;
    std::unordered_map<std::string, std::size_t> nextSuffix;
    for (std::string& name : header) {
        if (used.insert(name).second) continue;
        std::size_t& k = nextSuffix.try_emplace(name, 2).first->second;
        for (;; ++k) {
            std::string candidate = name + "_" + std::to_string(k);
            if (plain.count(candidate) == 0 && used.insert(candidate).second) {
                name = std::move(candidate);
                ++k;
                break;
            }
        }
    }
    return header;
}

void WriteStudyCsv(const StudyStore& store, CsvLayout layout, const CsvSink& sink, const CsvNotice& notice) {
    const std::int32_t n = store.SubjectCount, na = store.LevelCountA, nb = store.LevelCountB;
    const std::vector<std::string> namesA = NamesUtf8(store.LevelNamesA, na, 'A', notice);
    const std::vector<std::string> namesB = NamesUtf8(store.LevelNamesB, nb, 'B', notice);
    CheckScores(store, notice);

    Pieces out(sink);
    std::string& text = out.Text();
    if (layout == CsvLayout::Long) {
        std::vector<std::string> fieldsA, fieldsB;
        for (const std::string& name : namesA) fieldsA.push_back("," + QuotedField(name) + ",");
        for (const std::string& name : namesB) fieldsB.push_back(QuotedField(name) + ",");
        text.append("subject,A,B,score");
        out.EndRecord();
        for (std::int32_t s = 1; s <= n; ++s) {
            const std::string subject = std::to_string(s);
            for (std::int32_t a = 1; a <= na; ++a)
                for (std::int32_t b = 1; b <= nb; ++b) {
                    text.append(subject);
                    text.append(fieldsA[static_cast<std::size_t>(a - 1)]);
                    text.append(fieldsB[static_cast<std::size_t>(b - 1)]);
                    AppendScore(text, store.CellText(s, a, b));
                    out.EndRecord();
                }
        }
    } else {
        const std::vector<std::string> header = WideHeader(namesA, namesB);
        for (std::size_t i = 0; i < header.size(); ++i) {
            if (i > 0) text.push_back(',');
            csv::AppendField(text, header[i]);
        }
        out.EndRecord();
        for (std::int32_t s = 1; s <= n; ++s) {
            text.append(std::to_string(s));
            for (std::int32_t a = 1; a <= na; ++a)
                for (std::int32_t b = 1; b <= nb; ++b) {
                    text.push_back(',');
                    AppendScore(text, store.CellText(s, a, b));
                }
            out.EndRecord();
        }
    }
    out.Flush();
}

}  // namespace morvane
