#pragma once
// The one writer of the analysis' JSON: keys, values and brackets with the
// commas between them, every string escaped (quotes, backslashes and every
// control character), numbers with kProgramDigits significant digits.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "runtime/Extended.h"

namespace morvane {

class JsonWriter {
public:
    // Hands the text written to `sink` a piece at a time, whenever a megabyte
    // has gathered, so that a long text is never held whole; Text and
    // TakeLine then give what has not yet been handed over.
    void SpillTo(std::function<void(std::string_view)> sink) { sink_ = std::move(sink); }

    // The text written so far.
    const std::string& Text() const { return out_; }
    // The text written, taken out of the writer with a line break after it.
    std::string TakeLine() {
        out_ += '\n';
        return std::move(out_);
    }

    void Key(std::string_view key);
    void Open(char bracket);   // '{' or '['
    void Close(char bracket);  // '}' or ']'

    // A number, null when absent. One outside a double's range (which a reader
    // would take as infinite or zero) goes as a string of the same digits, and
    // OutsideDoubleRange tells afterwards that one did.
    void Number(std::optional<Extended> value);
    // A p-value under `key`; one of 0 is below the number type's range, and
    // says so beside it ("pUnderflow": true) unless `couldUnderflow` is false
    // (a p that is 0 itself).
    void P(std::string_view key, std::optional<Extended> p, bool couldUnderflow = true);
    void Integer(std::int64_t value);
    void Bool(bool value);
    void Null();
    void String(std::string_view text);
    // Two integers as an array, or null when `defined` is false.
    void IntegerPair(std::int64_t first, std::int64_t second, bool defined = true);

    bool OutsideDoubleRange() const { return outside_; }

private:
    void Comma();
    void Escaped(std::string_view text);

    std::string out_;
    std::function<void(std::string_view)> sink_;
    bool pending_ = false;  // a value stands before: the next one takes a comma
    bool outside_ = false;
};

}  // namespace morvane
