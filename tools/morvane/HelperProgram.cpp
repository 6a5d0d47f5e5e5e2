#include "HelperProgram.h"

#include <unistd.h>

#include <cerrno>
#include <filesystem>

#include "MorvaneConfig.h"
#include "runtime/Errors.h"
#include "runtime/IoCodes.h"

namespace morvane::tool {
namespace {

std::string HelperPath(const std::string& toolFolder, const std::string& program) {
    const std::filesystem::path folder(toolFolder);
    // Installed, it is in its own folder under libexec; in the build tree, beside the tool.
    const std::filesystem::path installed = folder / config::kPrintProgramFromTool / program;
    const std::filesystem::path beside = folder / program;
    return (access(installed.c_str(), X_OK) == 0 ? installed : beside).lexically_normal().string();
}

}  // namespace

void RunHelper(const std::string& program, std::vector<std::string> args) {
    std::error_code error;
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
    const std::string path = HelperPath(self.parent_path().string(), program);
    std::string name = program;
    std::vector<char*> argv{name.data()};
    for (std::string& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);
    execv(path.c_str(), argv.data());
    throw InOutError(io::CodeFromErrno(errno, path));
}

}  // namespace morvane::tool
