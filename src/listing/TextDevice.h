#pragma once
// Where the listing's lines go: a printer, a text file or a test's record. Each
// Write hands one text over by itself; EndLine breaks the line.

#include <string_view>

namespace morvane {

class TextDevice {
public:
    virtual ~TextDevice() = default;
    virtual void Write(std::string_view textCp932) = 0;
    virtual void EndLine() = 0;
};

}  // namespace morvane
