#pragma once
// What a file operation ended with, for tables of faults and their outcomes.

#include <functional>
#include <string>

#include "runtime/Cp932.h"
#include "runtime/Errors.h"

namespace morvane::testing {

// "ok", or the error's message in UTF-8.
inline std::string Outcome(const std::function<void()>& operation) {
    try {
        operation();
        return "ok";
    } catch (const Error& error) {
        return Utf8FromCp932(error.message());
    }
}

}  // namespace morvane::testing
