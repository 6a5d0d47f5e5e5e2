#include "PrintSystem.h"

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <thread>

#include "support/TempDir.h"

namespace morvane::testing {
namespace {

std::string Env(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

}  // namespace

bool PrintSystemAvailable(std::string& whyNot) {
    const std::string server = Env("CUPS_SERVER"), folder = Env("MORVANE_CUPS_PDF_DIR");
    struct stat info {};
    if (server.empty() || folder.empty()) {
        whyNot = "CUPS_SERVER and MORVANE_CUPS_PDF_DIR are not set (run through scripts/with-private-cups)";
    } else if (stat(server.c_str(), &info) != 0 || !S_ISSOCK(info.st_mode)) {
        whyNot = "no CUPS socket at " + server;
    } else if (RunCommand("lpstat -d").out.find("system default destination:") == std::string::npos) {
        whyNot = "the server at " + server + " has no default printer";
    } else {
        return true;
    }
    return false;
}

CommandResult RunCommand(const std::string& command) {
    CommandResult result;
    FILE* pipe = popen((command + " 2>&1").c_str(), "r");
    if (!pipe) return result;
    char buffer[4096];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) result.out.append(buffer, n);
    const int raw = pclose(pipe);
    result.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    return result;
}

std::vector<std::string> PrintedFiles() {
    std::vector<std::string> files;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(Env("MORVANE_CUPS_PDF_DIR"), error))
        if (entry.path().extension() == ".pdf") files.push_back(entry.path().string());
    std::sort(files.begin(), files.end());
    return files;
}

bool QueueIsEmpty() {
    const CommandResult jobs = RunCommand("lpstat -o");
    return jobs.status == 0 && jobs.out.empty();
}

std::string WaitForNewPdf(const std::vector<std::string>& before, std::chrono::seconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (std::chrono::steady_clock::now() < deadline) {
        for (const std::string& file : PrintedFiles())
            if (std::find(before.begin(), before.end(), file) == before.end() && QueueIsEmpty()) return file;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return "";
}

int PageCount(const std::string& pdf) {
    const CommandResult info = RunCommand("pdfinfo '" + pdf + "'");
    const std::size_t at = info.out.find("\nPages:");
    if (info.status != 0 || at == std::string::npos) return -1;
    return std::atoi(info.out.c_str() + at + 7);
}

std::vector<std::string> RenderPages(const std::string& pdf) {
    TempDir dir;
    RunCommand("pdftoppm -q -r 50 -gray '" + pdf + "' '" + dir.File("page") + "'");
    std::vector<std::string> pages;
    for (const auto& entry : std::filesystem::directory_iterator(dir.Path()))
        if (entry.path().extension() == ".pgm") pages.push_back(entry.path().string());
    // pdftoppm numbers the pages with as many digits as the last one needs.
    std::sort(pages.begin(), pages.end());
    std::vector<std::string> rendered;
    for (const std::string& page : pages) {
        std::ifstream in(page, std::ios::binary);
        std::string magic;
        int width = 0, height = 0, maximum = 0;
        in >> magic >> width >> height >> maximum;
        in.get();
        rendered.emplace_back((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    }
    return rendered;
}

std::vector<long> InkPerPage(const std::string& pdf) {
    std::vector<long> ink;
    for (const std::string& pixels : RenderPages(pdf))
        ink.push_back(std::count_if(pixels.begin(), pixels.end(),
                                    [](char p) { return static_cast<unsigned char>(p) < 160; }));
    return ink;
}

}  // namespace morvane::testing
