#pragma once
// A broken property. The checks throw it so that a fuzz target stops on it (as
// an uncaught exception, which libFuzzer records as a crash with its input) and
// a test reports it with the text of what was expected.

#include <stdexcept>
#include <string>
#include <string_view>

namespace morvane::properties {

class Violation : public std::logic_error {
public:
    using std::logic_error::logic_error;
};

// Throws Violation when `holds` is false.
inline void Require(bool holds, const char* what) {
    if (!holds) throw Violation(what);
}

// `bytes` quoted for a message: printable ASCII as is, every other byte as \xHH,
// cut after `limit` bytes.
std::string Quote(std::string_view bytes, std::size_t limit = 80);

}  // namespace morvane::properties
