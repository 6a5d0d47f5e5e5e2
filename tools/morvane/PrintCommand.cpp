#include "PrintCommand.h"

#include <unistd.h>

#include <cerrno>
#include <filesystem>

#include "MorvaneConfig.h"
#include "runtime/Errors.h"
#include "runtime/IoCodes.h"

namespace morvane::tool {
namespace {

std::string PrintProgram(const std::string& toolFolder) {
    const std::filesystem::path folder(toolFolder);
    // Installed, it is in its own folder under libexec; in the build tree, beside the tool.
    const std::filesystem::path installed = folder / config::kPrintProgramFromTool / "morvane-print";
    const std::filesystem::path beside = folder / "morvane-print";
    return (access(installed.c_str(), X_OK) == 0 ? installed : beside).lexically_normal().string();
}

}  // namespace

void Print(const std::string& dataFileArgument) {
    std::error_code error;
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
    const std::string printer = PrintProgram(self.parent_path().string());
    std::string name = "morvane-print", file = dataFileArgument;
    char* const argv[] = {name.data(), file.data(), nullptr};
    execv(printer.c_str(), argv);
    throw InOutError(io::CodeFromErrno(errno, printer));
}

}  // namespace morvane::tool
