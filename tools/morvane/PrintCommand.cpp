#include "PrintCommand.h"

#include <unistd.h>

#include <cerrno>
#include <filesystem>

#include "runtime/Errors.h"
#include "runtime/IoCodes.h"

namespace morvane::tool {

void Print(const std::string& dataFileArgument) {
    std::error_code error;
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
    const std::string printer = (self.parent_path() / "morvane-print").string();
    std::string name = "morvane-print", file = dataFileArgument;
    char* const argv[] = {name.data(), file.data(), nullptr};
    execv(printer.c_str(), argv);
    throw InOutError(io::CodeFromErrno(errno, printer));
}

}  // namespace morvane::tool
