// The verification's table as text and as a standalone HTML page.

#include <algorithm>
#include <array>
#include <cstdio>
#include <string>
#include <vector>

#include "verify/Verify.h"

namespace morvane::verify {
namespace {

using Row = std::array<std::string, 7>;

const Row kHeadings = {"Data set", "Figure", "Published", "Computed", "Agreeing digits", "Within precision",
                       "Published by"};

// The computed figure with 18 significant digits, the extended format's sure ones.
std::string Computed(const FigureCheck& figure) {
    if (!figure.computed) return "—";
    char text[64];
    std::snprintf(text, sizeof text, "%.18Lg", *figure.computed);
    return text;
}

std::vector<Row> Rows(const Verification& verification) {
    std::vector<Row> rows;
    for (const SetCheck& set : verification.sets)
        for (const FigureCheck& figure : set.figures)
            rows.push_back({figure.reading.empty() ? set.name : set.name + " (" + figure.reading + ")",
                            figure.expected.name, figure.expected.value, Computed(figure),
                            std::to_string(figure.agreeingDigits) + " of " + std::to_string(figure.expected.digits),
                            figure.within ? "yes" : "no", figure.expected.citation});
    return rows;
}

// The characters of a UTF-8 text (its bytes less its continuation bytes).
std::size_t Width(const std::string& text) {
    return static_cast<std::size_t>(
        std::count_if(text.begin(), text.end(), [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; }));
}

std::string Summary(const Verification& verification) {
    std::size_t disagreeing = 0;
    for (const SetCheck& set : verification.sets)
        for (const FigureCheck& figure : set.figures) disagreeing += figure.within ? 0 : 1;
    const std::size_t sets = verification.sets.size(), figures = verification.Figures();
    const std::string counts = std::to_string(sets) + (sets == 1 ? " data set, " : " data sets, ") +
                               std::to_string(figures) + (figures == 1 ? " figure: " : " figures: ");
    return counts + (disagreeing == 0 ? "every figure agrees with its published value within the digits printed"
                                      : std::to_string(disagreeing) + " disagree with their published value");
}

std::string Escaped(const std::string& text) {
    std::string out;
    for (const char c : text) {
        if (c == '&') out += "&amp;";
        else if (c == '<') out += "&lt;";
        else if (c == '>') out += "&gt;";
        else if (c == '"') out += "&quot;";
        else out += c;
    }
    return out;
}

// The file's name without its folder.
std::string BaseName(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

std::string VerificationText(const Verification& verification, const BuildInfo& build) {
    const std::vector<Row> rows = Rows(verification);
    std::array<std::size_t, 7> widths{};
    for (std::size_t c = 0; c < widths.size(); ++c) {
        widths[c] = Width(kHeadings[c]);
        for (const Row& row : rows) widths[c] = std::max(widths[c], Width(row[c]));
    }
    std::string out = "PMorvane " + build.version + " (" + build.compiler + "): the published analyses run again\n" +
                      Summary(verification) + "\n\n";
    const auto line = [&](const Row& row) {
        std::string text;
        for (std::size_t c = 0; c < row.size(); ++c) {
            const std::string pad(widths[c] - Width(row[c]), ' ');
            // Names to the left, figures to the right.
            text += (c < 2 || c == 6 ? row[c] + pad : pad + row[c]) + "  ";
        }
        return text.substr(0, text.find_last_not_of(' ') + 1) + "\n";
    };
    out += line(kHeadings);
    std::size_t total = 2 * (widths.size() - 1);
    for (const std::size_t w : widths) total += w;
    out += std::string(total, '-') + "\n";
    for (const Row& row : rows) out += line(row);
    out += "\nSources\n";
    for (const SetCheck& set : verification.sets) {
        out += set.name + ": " + set.title + ". " + set.citation + ".\n";
        if (!set.call.empty()) out += "  " + set.call + "\n";
    }
    return out;
}

std::string VerificationHtml(const Verification& verification, const BuildInfo& build) {
    std::string out =
        "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
        "<title>PMorvane verification</title>\n<style>\n"
        "body { font-family: sans-serif; margin: 2em; }\n"
        "table { border-collapse: collapse; margin-bottom: 2em; }\n"
        "th, td { border: 1px solid #999; padding: 0.2em 0.5em; }\n"
        "td.number { text-align: right; font-family: monospace; }\n"
        "td.no { background: #fdd; font-weight: bold; }\n</style>\n</head>\n<body>\n"
        "<h1>PMorvane verification</h1>\n<p>Program: PMorvane " +
        Escaped(build.version) + "<br>\nCompiler: " + Escaped(build.compiler) + "</p>\n<p>" +
        Escaped(Summary(verification)) + "</p>\n";
    out += "<h2>Data sets</h2>\n<table>\n<tr><th>Data set</th><th>Source</th><th>File</th><th>SHA-256</th></tr>\n";
    for (const SetCheck& set : verification.sets) {
        const std::string source = Escaped(set.title + ". " + set.citation + ".") +
                                   (set.call.empty() ? "" : "<br><code>" + Escaped(set.call) + "</code>");
        out += "<tr><td rowspan=\"2\">" + Escaped(set.name) + "</td><td rowspan=\"2\">" + source + "</td><td>" +
               Escaped(BaseName(set.dataFile)) + "</td><td><code>" + set.dataSha256 + "</code></td></tr>\n";
        out += "<tr><td>" + Escaped(set.name) + ".expected</td><td><code>" + set.expectedSha256 +
               "</code></td></tr>\n";
    }
    out += "</table>\n<h2>Figures</h2>\n<table>\n<tr>";
    for (const std::string& heading : kHeadings) out += "<th>" + Escaped(heading) + "</th>";
    out += "</tr>\n";
    for (const Row& row : Rows(verification)) {
        out += "<tr><td>" + Escaped(row[0]) + "</td><td>" + Escaped(row[1]) + "</td>";
        for (std::size_t c = 2; c < 5; ++c) out += "<td class=\"number\">" + Escaped(row[c]) + "</td>";
        out += "<td class=\"" + row[5] + "\">" + row[5] + "</td><td>" + Escaped(row[6]) + "</td></tr>\n";
    }
    return out + "</table>\n</body>\n</html>\n";
}

}  // namespace morvane::verify
