#pragma once
// Helpers of the tests that print on the private CUPS server of
// scripts/with-private-cups: running commands, waiting for the PDF that the
// cups-pdf queue writes, and reading its pages with the poppler tools.

#include <chrono>
#include <string>
#include <vector>

namespace morvane::testing {

// Whether the private server is there; otherwise why not.
bool PrintSystemAvailable(std::string& whyNot);

struct CommandResult {
    int status = -1;
    std::string out;  // standard output and standard error together
};
CommandResult RunCommand(const std::string& command);

// The PDFs in the cups-pdf output folder now.
std::vector<std::string> PrintedFiles();

// Waits until a PDF not in `before` has arrived and the queue holds no job;
// "" after `timeout`.
std::string WaitForNewPdf(const std::vector<std::string>& before,
                          std::chrono::seconds timeout = std::chrono::seconds(120));

// Whether the queue has no job waiting or printing.
bool QueueIsEmpty();

// The number of pages pdfinfo reports, -1 when it cannot read the file.
int PageCount(const std::string& pdf);

// Each page rendered in grey at 50 pixels per inch: its pixels, row by row.
std::vector<std::string> RenderPages(const std::string& pdf);

// For each page, rendered in grey at 50 pixels per inch, the number of pixels
// darker than 160 of 255.
std::vector<long> InkPerPage(const std::string& pdf);

}  // namespace morvane::testing
