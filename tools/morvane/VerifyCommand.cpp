#include "VerifyCommand.h"

#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include "Arguments.h"
#include "ErrorEdge.h"
#include "MorvaneConfig.h"
#include "runtime/TextWriter.h"
#include "verify/Verify.h"

namespace morvane::tool {
namespace {

// The sets' folder: MORVANE_VERIFY_DATA when set (for tests of other sets),
// else the installed one beside the tool, else the source tree's (a build tree).
std::string DataFolder() {
    if (const char* told = std::getenv("MORVANE_VERIFY_DATA"); told && *told) return told;
    std::error_code error;
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
    const std::filesystem::path installed = (self.parent_path() / config::kVerifyDataFromTool).lexically_normal();
    if (!error && access((installed / "index").c_str(), R_OK) == 0) return installed.string();
    return MORVANE_VERIFY_SOURCE_DATA;
}

}  // namespace

int Verify(std::span<const std::string> words) {
    const Arguments arguments(words, {}, {"--format"});
    if (arguments.FileCount() > 1) throw UsageError("at most one file name");
    bool html = false;
    for (const auto& [name, value] : arguments.Options()) {
        if (name != "--format") continue;
        if (*value != "text" && *value != "html") throw UsageError("unknown format " + *value);
        html = *value == "html";
    }
    verify::Verification verification;
    try {
        verification = verify::Verify(DataFolder());
    } catch (const verify::VerifyFormatError& error) {
        ShowMessage(error.what());
        return 1;
    }
    const verify::BuildInfo build = verify::ThisBuild();
    TextWriter file(arguments.FileCount() == 1 ? arguments.File(0) : std::string());
    file.Write(html ? verify::VerificationHtml(verification, build) : verify::VerificationText(verification, build));
    file.Close();
    return verification.AllWithin() ? 0 : 1;
}

}  // namespace morvane::tool
