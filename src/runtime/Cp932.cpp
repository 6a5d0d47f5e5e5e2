#include "runtime/Cp932.h"

#include <iconv.h>

#include <algorithm>
#include <cerrno>
#include <stdexcept>

namespace morvane {
namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";  // U+FFFD

bool IsAscii(std::string_view text) {
    return std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

// One conversion handle per direction and thread, opened at first use.
class Converter {
public:
    Converter(const char* to, const char* from) : handle_(iconv_open(to, from)) {
        if (handle_ == reinterpret_cast<iconv_t>(-1))
            throw std::runtime_error("iconv cannot convert between UTF-8 and CP932");
    }
    ~Converter() { iconv_close(handle_); }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;

    // Converts `in`; an input sequence that cannot be converted is replaced by
    // `replacement` and skipped by `skip(rest)` bytes, or, when `skip` gives 0,
    // ends the conversion with nothing.
    template <typename Skip>
    std::optional<std::string> Convert(std::string_view in, std::string_view replacement, Skip skip) {
        iconv(handle_, nullptr, nullptr, nullptr, nullptr);
        std::string out;
        out.reserve(in.size() * 2);
        char buffer[256];
        char* inPtr = const_cast<char*>(in.data());
        size_t inLeft = in.size();
        while (inLeft > 0) {
            char* outPtr = buffer;
            size_t outLeft = sizeof buffer;
            size_t result = iconv(handle_, &inPtr, &inLeft, &outPtr, &outLeft);
            out.append(buffer, static_cast<size_t>(outPtr - buffer));
            if (result != static_cast<size_t>(-1)) continue;
            if (errno == E2BIG) continue;
            // EILSEQ or EINVAL: an unconvertible or incomplete sequence.
            size_t n = std::min(inLeft, skip(std::string_view(inPtr, inLeft)));
            if (n == 0) {
                iconv(handle_, nullptr, nullptr, nullptr, nullptr);
                return std::nullopt;
            }
            out.append(replacement);
            inPtr += n;
            inLeft -= n;
            iconv(handle_, nullptr, nullptr, nullptr, nullptr);
        }
        return out;
    }

private:
    iconv_t handle_;
};

// The length of the UTF-8 sequence that starts `rest`, at least 1.
size_t Utf8SequenceLength(std::string_view rest) {
    auto lead = static_cast<unsigned char>(rest[0]);
    size_t n = lead < 0xC0 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
    size_t i = 1;
    while (i < n && i < rest.size() && (static_cast<unsigned char>(rest[i]) & 0xC0) == 0x80) ++i;
    return i;
}

Converter& ToCp932() {
    thread_local Converter converter("CP932", "UTF-8");
    return converter;
}

Converter& FromCp932() {
    thread_local Converter converter("UTF-8", "CP932");
    return converter;
}

size_t Stop(std::string_view) {
    return 0;
}

}  // namespace

std::string Cp932FromUtf8(std::string_view utf8) {
    if (IsAscii(utf8)) return std::string(utf8);
    return *ToCp932().Convert(utf8, "?", Utf8SequenceLength);
}

std::string Utf8FromCp932(std::string_view cp932) {
    const bool nul = cp932.find('\0') != std::string_view::npos;
    if (!nul && IsAscii(cp932)) return std::string(cp932);
    std::string utf8 = IsAscii(cp932) ? std::string(cp932)
                                      : *FromCp932().Convert(cp932, kReplacement,
                                                             [](std::string_view) { return size_t{1}; });
    if (!nul) return utf8;
    // A NUL comes out of the conversion as itself, and from no other byte.
    std::string shown;
    shown.reserve(utf8.size() + 2 * static_cast<std::size_t>(std::count(utf8.begin(), utf8.end(), '\0')));
    for (char c : utf8)
        if (c == '\0')
            shown.append(kReplacement);
        else
            shown.push_back(c);
    return shown;
}

std::optional<Cp932Respelling> FirstRespelling(std::string_view cp932) {
    if (IsAscii(cp932)) return std::nullopt;
    const auto utf8 = Utf8FromCp932Exact(cp932);
    if (!utf8 || Cp932FromUtf8Exact(*utf8) == cp932) return std::nullopt;
    // Character by character: a lead byte and its trail, or one byte.
    for (std::size_t i = 0; i < cp932.size();) {
        const auto lead = static_cast<unsigned char>(cp932[i]);
        const bool pair =
            ((lead >= 0x81 && lead <= 0x9F) || (lead >= 0xE0 && lead <= 0xFC)) && i + 1 < cp932.size();
        const std::string_view character = cp932.substr(i, pair ? 2 : 1);
        i += character.size();
        if (!pair) continue;
        const auto back = Cp932FromUtf8Exact(Utf8FromCp932(character));
        if (back && *back != character) return Cp932Respelling{character, *back};
    }
    return std::nullopt;
}

std::string HexBytes(std::string_view bytes) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string hex;
    for (const char c : bytes) {
        if (!hex.empty()) hex.push_back(' ');
        hex.push_back(kDigits[static_cast<unsigned char>(c) >> 4]);
        hex.push_back(kDigits[static_cast<unsigned char>(c) & 0xF]);
    }
    return hex;
}

std::optional<std::string> Cp932FromUtf8Exact(std::string_view utf8) {
    if (IsAscii(utf8)) return std::string(utf8);
    return ToCp932().Convert(utf8, {}, Stop);
}

std::optional<std::string> Utf8FromCp932Exact(std::string_view cp932) {
    if (IsAscii(cp932)) return std::string(cp932);
    return FromCp932().Convert(cp932, {}, Stop);
}

std::string CutCp932(std::string_view cp932, std::size_t most) {
    if (cp932.size() <= most) return std::string(cp932);
    // A lead byte takes the byte after it along.
    const auto lead = [](unsigned char c) { return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC); };
    std::size_t end = 0;
    while (end < most) {
        const std::size_t width = lead(static_cast<unsigned char>(cp932[end])) ? 2 : 1;
        if (end + width > most) break;
        end += width;
    }
    std::string cut(cp932.substr(0, end));
    cut += "\x81\x63";  // "…"
    return cut;
}

}  // namespace morvane
