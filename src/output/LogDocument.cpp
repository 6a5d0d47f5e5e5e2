#include "output/LogDocument.h"

#include "output/ApaOutput.h"
#include "output/detail/ApaLayout.h"

namespace morvane {
namespace {

const char* const kHeadingStyle = "font-family: sans-serif; border-top: 1px solid #888; padding-top: 0.6em";
const char* const kLineStyle = "font-family: sans-serif; color: #444; margin: 0.2em 0";

// The body of a whole HTML document: what stands between its <body> and </body>.
std::string Body(const std::string& document) {
    const std::string open = "<body>\n", close = "</body>";
    const std::size_t from = document.find(open), to = document.rfind(close);
    if (from == std::string::npos || to == std::string::npos || to < from) return document;
    return document.substr(from + open.size(), to - from - open.size());
}

// A line under a section's heading.
std::string Line(const std::string& text) {
    return std::string("<p style=\"") + kLineStyle + "\">" + apa::HtmlEscaped(text) + "</p>\n";
}

// OutputLogHtml, one analysis: its heading, when, its design, its provenance, its output.
std::string Section(const LoggedAnalysis& a, std::size_t number, bool ja) {
    std::string out = "<section>\n<h2 style=\"" + std::string(kHeadingStyle) + "\">" +
                      std::to_string(number) + ". " + apa::HtmlEscaped(a.name) + "</h2>\n";
    out += Line((ja ? "分析の時刻: " : "Analysed: ") + a.when);
    out += Line((ja ? "計画: " : "Design: ") + DesignInWords(*a.analysis, a.options.language));
    const Provenance& p = a.options.provenance;
    if (p.dataSha256) out += Line((ja ? "データの SHA-256: " : "Data SHA-256: ") + *p.dataSha256);
    if (p.command) out += Line((ja ? "同じ分析をするコマンド: " : "The same analysis: ") + *p.command);
    return out + Body(ApaHtmlDocument(*a.analysis, a.options)) + "</section>\n";
}

}  // namespace

std::string DesignInWords(const anova::Analysis& r, OutputLanguage language) {
    const bool ja = language == OutputLanguage::Japanese;
    std::string sizes, within, between;
    const auto add = [](std::string& to, const std::string& name, const char* comma) {
        to += (to.empty() ? "" : comma) + name;
    };
    for (const DesignFactor& f : r.between) add(sizes, std::to_string(f.levels.size()), " × ");
    for (const DesignFactor& f : r.within) add(sizes, std::to_string(f.levels.size()), " × ");
    for (const DesignFactor& f : r.within) add(within, f.name, ja ? "、" : ", ");
    for (const DesignFactor& f : r.between) add(between, f.name, ja ? "、" : ", ");
    std::string roles;
    if (!within.empty()) roles = ja ? "被験者内 " + within : within + " within";
    if (!between.empty())
        roles += (roles.empty() ? ""
                  : ja          ? "、"
                                : ", ") +
                 (ja ? "被験者間 " + between : between + " between");
    return sizes + ": " + roles + "; N = " + std::to_string(r.subjects);
}

std::string OutputLogHtml(const std::vector<LoggedAnalysis>& analyses, OutputLanguage language) {
    const bool ja = language == OutputLanguage::Japanese;
    std::string out = std::string("<!DOCTYPE html>\n<html lang=\"") + (ja ? "ja" : "en") +
                      "\">\n<head>\n<meta charset=\"utf-8\">\n<title>" + (ja ? "出力ログ" : "Output log") +
                      "</title>\n</head>\n<body>\n<h1 style=\"font-family: sans-serif\">" +
                      (ja ? "出力ログ" : "Output log") + "</h1>\n";
    std::size_t number = 0;
    for (const LoggedAnalysis& a : analyses)
        if (a.analysis != nullptr) out += Section(a, ++number, ja);
    return out + "</body>\n</html>\n";
}

}  // namespace morvane
