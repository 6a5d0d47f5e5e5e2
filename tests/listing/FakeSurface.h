#pragma once
// A drawing surface for the printer text device's tests: every character is 10
// pixels wide per byte (a double-byte one 20, as in a fixed-pitch font), a text
// is 30 pixels high (40 when it holds an 'H'), the font 28. It records what the
// device asks of it as readable entries.

#include <memory>
#include <string>
#include <vector>

#include "listing/DrawingSurface.h"
#include "runtime/Errors.h"

namespace morvane::testing {

struct FakePrintTarget : PrintTarget {
    int pageWidth = 100;
    int pageHeight = 200;
    std::vector<std::string> log;  // "draw X,Y text", "page", "font NAME SIZE", "end", "abort"
    int jobs = 0;
    std::string failure;  // when set, BeginJob throws PrinterError with it

    std::unique_ptr<DrawingSurface> BeginJob() override;
};

class FakeSurface : public DrawingSurface {
public:
    explicit FakeSurface(FakePrintTarget& printer) : printer_(printer) {}
    ~FakeSurface() override {
        if (!ended_) printer_.log.push_back("destroyed");
    }
    void SetFont(std::string_view name, int points) override {
        printer_.log.push_back("font " + std::string(name) + " " + std::to_string(points));
    }
    TextExtent Measure(std::string_view text) override {
        ++measures;
        return {static_cast<int>(text.size()) * 10, text.find('H') != std::string_view::npos ? 40 : 30};
    }
    int FontHeight() override { return 28; }
    int PageWidth() override { return printer_.pageWidth; }
    int PageHeight() override { return printer_.pageHeight; }
    void Draw(int x, int y, std::string_view text) override {
        printer_.log.push_back("draw " + std::to_string(x) + "," + std::to_string(y) + " " +
                               std::string(text));
    }
    void NewPage() override { printer_.log.push_back("page"); }
    void EndJob() override {
        ended_ = true;
        printer_.log.push_back("end");
    }
    void AbortJob() noexcept override {
        ended_ = true;
        printer_.log.push_back("abort");
    }
    int measures = 0;

private:
    FakePrintTarget& printer_;
    bool ended_ = false;
};

inline std::unique_ptr<DrawingSurface> FakePrintTarget::BeginJob() {
    if (!failure.empty()) throw PrinterError(failure);
    ++jobs;
    return std::make_unique<FakeSurface>(*this);
}

}  // namespace morvane::testing
