#include "VerifyCommand.h"

#include "Arguments.h"
#include "ErrorEdge.h"
#include "runtime/TextWriter.h"
#include "verify/Verify.h"

namespace morvane::tool {

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
        verification = verify::Verify(verify::DataFolder());
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
