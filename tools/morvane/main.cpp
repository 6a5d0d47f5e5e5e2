// morvane: the study commands of PMorvane for scripts and large studies.

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "AnovaCommand.h"
#include "Arguments.h"
#include "Commands.h"
#include "ErrorEdge.h"
#include "ExchangeCommands.h"
#include "MorvaneConfig.h"
#include "PlotCommand.h"
#include "PowerCommand.h"
#include "PrintCommand.h"
#include "VerifyCommand.h"
#include "runtime/DecimalSeparator.h"
#include "runtime/Errors.h"
#include "runtime/IoCodes.h"
#include "runtime/MemoryBudget.h"
#include "runtime/StandardStreams.h"

namespace {

constexpr const char* kUsage =
    "usage: morvane copy DATAFILE NEWFILE   read a study and write it again (- for standard output)\n"
    "       morvane sums DATAFILE           print the eight sums of squares\n"
    "       morvane report DATAFILE [RESULTSFILE]\n"
    "                                       write the results file (standard output when - or absent)\n"
    "       morvane listing DATAFILE [OUT]  write the printed listing as text (- or none: standard output)\n"
    "       morvane print DATAFILE          print the listing on the default printer\n"
    "       morvane anova DATAFILE [--format text|markdown|csv|json|apa|html] [--correction none|gg|hf]\n"
    "                     [--lang en|ja] [--ci-level X] [--adjust NAME[,NAME...]]\n"
    "                     [--effect-sizes NAME[,NAME...]] [--alpha A] [OUTFILE|-]\n"
    "                                       the full analysis (UTF-8; standard output when - or absent;\n"
    "                                       text, Greenhouse-Geisser, English, 90 % intervals, Holm and\n"
    "                                       Bonferroni unless told; --adjust from holm, bonferroni,\n"
    "                                       sidak, holm-sidak, hochberg, hommel, bh, by, shaffer, tukey\n"
    "                                       or all; --effect-sizes adds eta2, omega2, f, gomega2,\n"
    "                                       fconv or all to each effect; --alpha the level of the\n"
    "                                       robustness table's decisions and of the planning table's\n"
    "                                       N for power .80 and .90, .05 unless told, between 0 and 1)\n"
    "       morvane anova FILE.csv --id COL --dv COL [--within COL[,COL...]] [--between COL[,COL...]]\n"
    "                     [--type 3|2] [--observed COL[,...]] [--encoding utf-8|cp932] [--separator "
    ",|;|tab]\n"
    "                     [--decimal-comma] [--header-line N] [--format text|markdown|csv|json|apa|html]\n"
    "                     [--correction none|gg|hf] [--lang en|ja] [--ci-level X]\n"
    "                     [--adjust NAME[,NAME...]] [--effect-sizes NAME[,NAME...]] [--alpha A]\n"
    "                     [OUTFILE|-]\n"
    "                                       any repeated-measures design from a long CSV (a header, a row\n"
    "                                       an observation): 1 to 4 within and up to 3 between factors;\n"
    "                                       --within left out with --between: a between-subjects design,\n"
    "                                       one score per subject;\n"
    "                                       rows of a cell averaged, subjects with a missing score removed;\n"
    "                                       type III sums of squares unless told; the header the first\n"
    "                                       line whose fields the rows below match, or line N\n"
    "       morvane anova ... [--trend FACTOR[,FACTOR...]] [--spacing \"FACTOR=v1,v2,...[;FACTOR=...]\"]\n"
    "                     [--contrast \"[NAME:]FACTOR=w1,w2,...[*FACTOR=...]\"]...\n"
    "                                       either input: planned contrasts, a table and JSON's\n"
    "                                       \"contrasts\": each named factor's polynomial trends (equal\n"
    "                                       spacing unless told), and weights given (decimals or a/b,\n"
    "                                       summing to 0; * joins factors; --contrast as often as wanted)\n"
    "       morvane anova ... [--cells A:B[,A:B:C...]|all]...\n"
    "                                       either input: every pair of an interaction's cells, a table\n"
    "                                       and JSON's \"cellComparisons\" (all: every two-factor one)\n"
    "       morvane anova ... --simple-interactions\n"
    "                                       either input, three or more factors: each two factors'\n"
    "                                       interaction at each level of a third, each factor at each\n"
    "                                       level pair of two others, on the slice's own error\n"
    "       morvane plot DATAFILE OUT.png|OUT.svg|OUT.pdf [--width PX] [--height PX]\n"
    "                    [--error-bars within|ci95|se | --qq]\n"
    "                                       the interaction plot of the cell means (800 x 600 unless told),\n"
    "                                       or with --qq the normal Q-Q plots of the four error strata\n"
    "       morvane plot FILE.csv --id COL --dv COL --within COL[,COL...] [--between COL[,COL...]]\n"
    "                    [--encoding utf-8|cp932] [--separator ,|;|tab] [--decimal-comma] [--header-line N]\n"
    "                    OUT.png|OUT.svg|OUT.pdf [--width PX] [--height PX]\n"
    "                    [--error-bars within|ci95|se | --qq]\n"
    "                                       the interaction plot of any design of a long CSV, a panel per\n"
    "                                       level of the factors beyond two, or with --qq the normal Q-Q\n"
    "                                       plots of its error strata\n"
    "       morvane plot ... [--x FACTOR] [--lines FACTOR|none] [--panels FACTOR[,FACTOR...]]\n"
    "                    [--subjects lines|points|none]\n"
    "                                       either input: the factor along the axis, the one whose levels\n"
    "                                       are the lines, those of the panels (the rest fill the free\n"
    "                                       places), and each subject's scores behind the means (at most\n"
    "                                       500 subjects)\n"
    "       morvane power --effect within|between|interaction --levels M [--groups K]\n"
    "                     [--f F | --eta2p X] [--convention gpower|spss] [--rho R] [--epsilon E]\n"
    "                     [--alpha A] [--n N] [--power P] [--format text|json]\n"
    "                                       the power of the effect's F test at a total N (--n), the\n"
    "                                       smallest N for a power (--power), or with both and no effect\n"
    "                                       size the smallest f detectable; K 1, rho .5, epsilon 1,\n"
    "                                       alpha .05 and the power programs' convention unless told\n"
    "       morvane verify [--format text|html] [OUTFILE|-]\n"
    "                                       run the published analyses shipped with the program again and\n"
    "                                       compare every figure with its published value (status 1 when\n"
    "                                       one disagrees); html: a page with the build and the files'\n"
    "                                       SHA-256\n";
constexpr const char* kHelpLine = "       morvane --help | --version\n";

// The whole usage, the exchange commands' lines included, on `stream`.
bool PutUsage(std::FILE* stream) {
    return std::fputs(kUsage, stream) >= 0 && std::fputs(morvane::tool::kExchangeUsage, stream) >= 0 &&
           std::fputs(kHelpLine, stream) >= 0;
}

// --help and --version: `put` writes to standard output, and a write that
// failed (a closed or full standard output) is an error like any other.
int PutOnStandardOutput(const std::function<bool()>& put) {
    if (!morvane::io::IsWritableStandardStream(STDOUT_FILENO))
        throw morvane::InOutError(morvane::io::kNoUsableHandle);
    errno = 0;
    if (!put() || std::fflush(stdout) != 0 || std::ferror(stdout) != 0)
        throw morvane::InOutError(morvane::io::CodeFromErrno(errno != 0 ? errno : EIO, ""));
    return 0;
}

// The usage lines of one command (the whole usage's lines from each that
// names it to the next that names a command), as "usage: morvane NAME ...".
std::string CommandUsage(const std::string& name) {
    const std::string all = std::string(kUsage) + morvane::tool::kExchangeUsage, marker = "morvane " + name + " ";
    std::string out;
    bool inside = false;
    for (std::size_t at = 0; at < all.size();) {
        const std::size_t end = std::min(all.find('\n', at), all.size());
        const std::string line = all.substr(at, end - at);
        at = end + 1;
        const std::size_t text = line.find_first_not_of(' ', line.starts_with("usage: ") ? 7 : 0);
        if (text != std::string::npos && line.compare(text, 8, "morvane ") == 0 && text <= 7)
            inside = line.compare(text, marker.size(), marker) == 0;
        if (inside) out += (out.empty() ? "usage: " + line.substr(text) : line) + "\n";
    }
    return out;
}

int Usage() {
    PutUsage(stderr);
    return 2;
}

using Words = std::span<const std::string>;
using morvane::tool::Settings;

// Whether `rest`, a command's words, asks for help: --help before any "--".
bool AsksForHelp(Words rest) {
    for (const std::string& word : rest) {
        if (word == "--") return false;
        if (word == "--help") return true;
    }
    return false;
}

// The file names of a command that takes `least` to `most` of them; another
// count is no such command.
morvane::tool::Arguments Files(const char* command, Words rest, std::size_t least, std::size_t most) {
    morvane::tool::Arguments files(rest);
    if (files.FileCount() < least || files.FileCount() > most)
        throw morvane::tool::UsageError(std::string("unknown command ") + command);
    return files;
}

// The commands: each its name and its run, which reads its own arguments (the
// usage above says them) and gives the exit status.
struct Command {
    const char* name;
    int (*run)(Words rest, const Settings& settings);
};

constexpr Command kCommands[] = {
    {"export", [](Words rest, const Settings&) { return morvane::tool::Export(rest); }},
    {"import", [](Words rest, const Settings& settings) { return morvane::tool::Import(rest, settings); }},
    {"anova",
     [](Words rest, const Settings& settings) {
         morvane::tool::Anova(rest, settings);
         return 0;
     }},
    {"plot", [](Words rest, const Settings&) -> int { morvane::tool::Plot(rest); }},
    {"power", [](Words rest, const Settings&) { return morvane::tool::Power(rest); }},
    {"verify", [](Words rest, const Settings&) { return morvane::tool::Verify(rest); }},
    {"copy",
     [](Words rest, const Settings&) {
         const auto files = Files("copy", rest, 2, 2);
         morvane::tool::Copy(files.File(0), files.File(1));
         return 0;
     }},
    {"sums",
     [](Words rest, const Settings& settings) {
         morvane::tool::Sums(Files("sums", rest, 1, 1).File(0), settings);
         return 0;
     }},
    {"report",
     [](Words rest, const Settings& settings) {
         const auto files = Files("report", rest, 1, 2);
         if (morvane::tool::Report(files.File(0), files.FileCount() == 2 ? files.File(1) : "", settings))
             morvane::tool::NoticeInexactReport();
         return 0;
     }},
    {"listing",
     [](Words rest, const Settings&) {
         const auto files = Files("listing", rest, 1, 2);
         morvane::tool::Listing(files.File(0), files.FileCount() == 2 ? files.File(1) : "");
         return 0;
     }},
    // morvane-print runs in place of this process and gives its status.
    {"print",
     [](Words rest, const Settings&) -> int { morvane::tool::Print(Files("print", rest, 1, 1).Word(0)); }},
};

int Run(Words words, const Settings& settings) {
    if (words.empty()) throw morvane::tool::UsageError("no command");
    const std::string& command = words[0];
    const Words rest = words.subspan(1);
    // Asked for, the usage goes to standard output and is no error.
    if (command == "--help" && rest.empty()) return PutOnStandardOutput([] { return PutUsage(stdout); });
    if (command == "--version" && rest.empty())
        return PutOnStandardOutput(
            [] { return std::printf("morvane %s\n", morvane::config::kVersion) >= 0; });
    for (const Command& c : kCommands) {
        if (command != c.name) continue;
        // "morvane COMMAND --help": that command's usage on standard output, as GNU tools answer.
        if (AsksForHelp(rest)) {
            const std::string usage = CommandUsage(command);
            return PutOnStandardOutput([&] { return std::fputs(usage.c_str(), stdout) >= 0; });
        }
        return c.run(rest, settings);
    }
    throw morvane::tool::UsageError("unknown command " + command);
}

}  // namespace

int main(int argc, char** argv) {
    morvane::ReturnLargeBlocksWhenFreed();
    morvane::tool::Settings settings;
    settings.decimalSeparator = morvane::DecimalSeparatorFromLocale();
    const std::vector<std::string> words(argv + 1, argv + argc);
    return morvane::tool::RunShowingErrors([&] {
        try {
            return Run(words, settings);
        } catch (const morvane::tool::UsageError& error) {
            // What is wrong, then the usage; a bare "morvane" gets the usage alone.
            if (!words.empty()) morvane::tool::ShowMessage(error.what());
            return Usage();
        }
    });
}
