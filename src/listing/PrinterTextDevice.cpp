#include "listing/PrinterTextDevice.h"

#include <algorithm>
#include <vector>

#include "runtime/Errors.h"
#include "runtime/Messages.h"

namespace morvane {
namespace {

// The input/output error of a text file used while it is not open.
constexpr int kFileNotOpen = 103;

// The byte offsets at which the characters of `text` end, in order.
std::vector<std::size_t> CharacterEnds(std::string_view text) {
    std::vector<std::size_t> ends;
    for (std::size_t i = 0; i < text.size(); i += Cp932CharLength(text, i))
        ends.push_back(i + Cp932CharLength(text, i));
    return ends;
}

}  // namespace

std::size_t Cp932CharLength(std::string_view text, std::size_t i) {
    const auto byte = static_cast<unsigned char>(text[i]);
    const bool lead = (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
    return lead && i + 1 < text.size() ? 2 : 1;
}

PrinterTextDevice::PrinterTextDevice(PrintTarget& target) : target_(target) {}

PrinterTextDevice::~PrinterTextDevice() {
    Abort();
}

void PrinterTextDevice::Open() {
    if (surface_) throw PrinterError(messages::PrintingInProgress());
    surface_ = target_.BeginJob();
    x_ = 0;
    y_ = 0;
    lineHeight_ = 0;
    page_ = 1;
}

void PrinterTextDevice::SetFont(std::string_view nameCp932, int points) {
    RequireOpen();
    surface_->SetFont(nameCp932, points);
}

void PrinterTextDevice::Write(std::string_view textCp932) {
    RequireOpen();
    // The text between line feeds and carriage returns is drawn piece by piece.
    while (!textCp932.empty()) {
        const std::size_t stop = textCp932.find_first_of("\r\n");
        DrawText(textCp932.substr(0, stop));
        if (stop == std::string_view::npos) break;
        if (textCp932[stop] == '\n') NewLine();
        textCp932.remove_prefix(stop + 1);
    }
}

void PrinterTextDevice::EndLine() {
    RequireOpen();
    NewLine();
}

void PrinterTextDevice::Close() {
    RequireOpen();
    // The job is over even when ending it fails.
    std::unique_ptr<DrawingSurface> surface = std::move(surface_);
    surface->EndJob();
}

void PrinterTextDevice::Abort() noexcept {
    if (!surface_) return;
    std::unique_ptr<DrawingSurface> surface = std::move(surface_);
    surface->AbortJob();
}

void PrinterTextDevice::RequireOpen() const {
    if (!surface_) throw InOutError(kFileNotOpen);
}

void PrinterTextDevice::DrawText(std::string_view text) {
    DrawingSurface& surface = *surface_;
    while (!text.empty()) {
        const int room = surface.PageWidth() - x_;
        std::size_t length = text.size();
        TextExtent extent = surface.Measure(text);
        if (extent.width > room) {
            // The longest run of whole characters that fits, found by halving;
            // widths grow with every character added.
            const std::vector<std::size_t> ends = CharacterEnds(text);
            std::size_t fitting = 0, tooLong = ends.size();  // counts of characters
            TextExtent fittingExtent{};
            while (tooLong - fitting > 1) {
                const std::size_t middle = fitting + (tooLong - fitting) / 2;
                const TextExtent middleExtent = surface.Measure(text.substr(0, ends[middle - 1]));
                if (middleExtent.width <= room) {
                    fitting = middle;
                    fittingExtent = middleExtent;
                } else {
                    tooLong = middle;
                }
            }
            // At the left edge a character wider than the whole line is drawn
            // by itself (cut off by the page), so that the text always moves on.
            if (fitting == 0 && x_ == 0) {
                fitting = 1;
                fittingExtent = surface.Measure(text.substr(0, ends[0]));
            }
            length = fitting == 0 ? 0 : ends[fitting - 1];
            extent = fittingExtent;
        }
        if (length > 0) {
            lineHeight_ = std::max(lineHeight_, extent.height + 2);
            surface.Draw(x_, y_, text.substr(0, length));
        }
        text.remove_prefix(length);
        if (text.empty()) {
            x_ += extent.width;
        } else {
            NewLine();
        }
    }
}

void PrinterTextDevice::NewLine() {
    DrawingSurface& surface = *surface_;
    const int advance = lineHeight_ > 0 ? lineHeight_ : surface.FontHeight();
    x_ = 0;
    y_ += advance;
    if (y_ > surface.PageHeight() - 2 * lineHeight_) {
        surface.NewPage();
        ++page_;
        y_ = 0;
    }
    lineHeight_ = 0;
}

}  // namespace morvane
