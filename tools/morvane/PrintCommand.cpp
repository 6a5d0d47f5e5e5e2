#include "PrintCommand.h"

#include "HelperProgram.h"

namespace morvane::tool {

void Print(const std::string& dataFileArgument) {
    RunHelper("morvane-print", {dataFileArgument});
}

}  // namespace morvane::tool
