#pragma once
// The printer as a text device: texts are drawn one after the other along a
// line, and lines run down the page and on to the next page by these rules:
// - a line is as high as its tallest text plus 2 pixels; a line with no text
//   advances by the height of the font;
// - after a line end a new page begins at once when the top of the next line
//   would lie lower than the page height less twice the height of the line just
//   ended (less nothing for a line with no text);
// - a text that does not fit in what is left of the line is cut before its
//   first character that does not fit (a double-byte character is never split)
//   and the rest goes on at the left edge of the next line, under the same rule.
// In a written text a line feed breaks the line and a carriage return does
// nothing more than end the piece of text before it.

#include <cstddef>
#include <memory>
#include <string_view>

#include "listing/DrawingSurface.h"
#include "listing/TextDevice.h"

namespace morvane {

class PrinterTextDevice : public TextDevice {
public:
    explicit PrinterTextDevice(PrintTarget& target);
    // A job still open is aborted.
    ~PrinterTextDevice() override;
    PrinterTextDevice(const PrinterTextDevice&) = delete;
    PrinterTextDevice& operator=(const PrinterTextDevice&) = delete;

    // Starts a print job at the top left of page 1. Throws PrinterError: "現在印刷中です"
    // while a job is open, or the printer's own failure.
    void Open();
    bool IsOpen() const { return surface_ != nullptr; }
    // The page the job is on, from 1.
    int Page() const { return page_; }
    void SetFont(std::string_view nameCp932, int points);
    // Draws `text` at the current position (InOutError 103 when no job is open).
    void Write(std::string_view textCp932) override;
    void EndLine() override;
    // Ends the job so that it is printed.
    void Close();
    // Ends an open job without printing it.
    void Abort() noexcept;

private:
    void RequireOpen() const;
    void DrawText(std::string_view text);
    void NewLine();

    PrintTarget& target_;
    std::unique_ptr<DrawingSurface> surface_;
    int x_ = 0;
    int y_ = 0;
    int lineHeight_ = 0;  // 0 while nothing has been drawn on the line
    int page_ = 1;
};

// The length in bytes of the code page 932 character that begins at `text[i]`:
// 2 for a lead byte (0x81-0x9F, 0xE0-0xFC) with a byte after it, else 1.
std::size_t Cp932CharLength(std::string_view text, std::size_t i);

}  // namespace morvane
