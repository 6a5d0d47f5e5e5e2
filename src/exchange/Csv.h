#pragma once
// Comma-separated values as spreadsheets and statistics programs write them:
// fields separated by a comma, a semicolon or a tab, records ended by CR LF, LF
// or CR, a field in double quotes when it holds the separator, a quote (written
// twice) or a line end.

#include <array>
#include <cstdint>
#include <deque>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace morvane::csv {

// Reads the records of a text one at a time. The fields are views into the
// text, or for a quoted field with doubled quotes into the reader's own copy:
// they stay valid as long as both the text and the reader do.
class Reader {
public:
    Reader(std::string_view text, char separator);

    // Reads the next record; false after the last one. A text that ends with a
    // line end has no empty record after it. Throws CsvError for a quoted field
    // that is not closed or that is followed by anything but the separator or
    // a line end.
    bool Next();

    // Reads the next record as Next would, but only when it is a plain one of
    // pattern.size() fields: on one line ended by LF, CR LF or the end of the
    // text, no field in quotes, not every field empty, and each field for
    // which the pattern gives a text equal to it. Otherwise false, with nothing
    // read: the record is left to Next, and until then Size and Field describe
    // no record. For records that mostly repeat known fields, faster than Next
    // and a comparison of each.
    bool NextIf(std::span<const std::optional<std::string_view>> pattern);

    std::size_t Size() const { return fields_.size(); }
    std::string_view Field(std::size_t i) const { return fields_[i]; }
    // The line on which field i starts (lines numbered from 1).
    std::int64_t FieldLine(std::size_t i) const { return spans_ ? lines_[i] : recordLine_; }
    // The line on which the record starts.
    std::int64_t Line() const { return recordLine_; }
    // Where the reading stands: the byte of the text after the last record
    // read, and the line of that byte.
    std::size_t Position() const { return pos_; }
    std::int64_t NextLine() const { return line_; }
    // Whether every field of the record is empty (an empty line among them).
    bool Blank() const {
        for (std::string_view field : fields_)
            if (!field.empty()) return false;
        return true;
    }
    // The LF bytes after the record: about as many records follow, to reserve
    // room for them.
    std::size_t LineFeedsLeft() const;
    // The most records of `fields` fields, not all empty, that can follow: each
    // takes a byte for each of its separators and one more, and one line.
    std::size_t RecordsLeftOf(std::size_t fields) const;
    // The most records that can follow: one per line end, not counting blank
    // lines (and lines of separators alone) at the end of the text, unless
    // lines end in a CR alone.
    std::size_t RecordsLeftAtMost() const;

private:
    void EndOfLine();  // consumes a CR LF, LF or CR at pos_
    bool NextPlain();

    const char* text_;
    std::size_t size_;
    std::size_t pos_ = 0;
    char separator_;
    std::array<bool, 256> ends_{};  // the bytes that end an unquoted field
    std::int64_t line_ = 1;
    std::vector<std::string_view> fields_;
    std::int64_t recordLine_ = 1;
    bool spans_ = false;               // whether the record runs over more than one line
    std::vector<std::int64_t> lines_;  // then the line of each field
    std::deque<std::string> unquoted_;
};

// The separator of a text whose first line is a header: the comma, semicolon or
// tab that occurs most often outside quotes on its first line (the comma when
// none does, and first among equals, then the semicolon).
char DetectSeparator(std::string_view text);

// Appends `field` to `out`, in double quotes when it holds a quote, a line end
// or any of the three separators, so that a reader that detects the separator
// from a header finds the one that separates.
void AppendField(std::string& out, std::string_view field);

// The fields of one record given as a single text, such as a list of names in
// a command's option.
std::vector<std::string> SplitRecord(std::string_view text, char separator = ',');

// Whether `text` is well-formed UTF-8: no stray continuation byte, overlong
// form, surrogate or code point beyond U+10FFFF.
bool IsValidUtf8(std::string_view text);

}  // namespace morvane::csv
