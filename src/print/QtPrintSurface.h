#pragma once
// A print job on a Qt printer as the drawing surface of the printer text
// device: a QPainter on a QPrinter, in the printer's device pixels.

#include <QPainter>
#include <memory>
#include <string>
#include <vector>

#include "listing/DrawingSurface.h"

class QPrinter;

namespace morvane {

class QtPrintSurface : public DrawingSurface {
public:
    // Starts the job on `printer`; PrinterError "選択したプリンタは有効ではありません"
    // when the printer cannot be opened for painting.
    explicit QtPrintSurface(std::unique_ptr<QPrinter> printer);
    ~QtPrintSurface() override;

    void SetFont(std::string_view nameCp932, int points) override;
    TextExtent Measure(std::string_view textCp932) override;
    int FontHeight() override;
    int PageWidth() override;
    int PageHeight() override;
    void Draw(int x, int y, std::string_view textCp932) override;
    void NewPage() override;
    void EndJob() override;
    void AbortJob() noexcept override;

private:
    // A file that the print system spools the job into while it is painted.
    struct SpoolFile {
        int fd;
        unsigned long long device;
        unsigned long long inode;
        std::string path;
    };

    std::unique_ptr<QPrinter> printer_;
    QPainter painter_;
    std::vector<SpoolFile> spool_;
};

}  // namespace morvane
