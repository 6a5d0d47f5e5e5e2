#pragma once
// The pages of one print job as the printer text device draws on them, and the
// printer that starts such jobs. Positions and sizes are in the printer's device
// pixels; the page is the printable area with (0, 0) at its top left corner.
// Texts are code page 932 bytes.

#include <memory>
#include <string_view>

namespace morvane {

struct TextExtent {
    int width = 0;
    int height = 0;
};

class DrawingSurface {
public:
    // A job neither ended nor aborted is aborted.
    virtual ~DrawingSurface() = default;
    // Selects the font by its name and its size in points.
    virtual void SetFont(std::string_view nameCp932, int points) = 0;
    // The size that `text` takes in the current font.
    virtual TextExtent Measure(std::string_view textCp932) = 0;
    // The height of the current font, the advance of a line with no text.
    virtual int FontHeight() = 0;
    virtual int PageWidth() = 0;
    virtual int PageHeight() = 0;
    // Draws `text` with the top left corner of its first character at (x, y).
    virtual void Draw(int x, int y, std::string_view textCp932) = 0;
    // Ends the current page and begins the next one.
    virtual void NewPage() = 0;
    // Ends the job, which then goes to the printer; throws PrinterError.
    virtual void EndJob() = 0;
    // Ends the job without printing anything; never throws.
    virtual void AbortJob() noexcept = 0;
};

class PrintTarget {
public:
    virtual ~PrintTarget() = default;
    // Starts a print job on page 1; throws PrinterError when there is no
    // printer or it cannot be opened.
    virtual std::unique_ptr<DrawingSurface> BeginJob() = 0;
};

}  // namespace morvane
