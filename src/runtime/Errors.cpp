#include "runtime/Errors.h"

#include <utility>

#include "runtime/Messages.h"

namespace morvane {

Error::Error(std::string messageCp932) : message_(std::move(messageCp932)) {}

const char* Error::what() const noexcept {
    return message_.c_str();
}

ConvertError::ConvertError(std::string messageCp932, const ScoreCell& cell)
    : Error(std::move(messageCp932)), cell_(cell) {}

const char* ReadStopped::what() const noexcept {
    return "the read was stopped";
}

RangeError::RangeError() : Error(messages::RangeCheck()) {}
OutOfMemoryError::OutOfMemoryError() : Error(messages::OutOfMemory()) {}
InvalidOperationError::InvalidOperationError() : Error(messages::InvalidOperation()) {}
ZeroDivideError::ZeroDivideError() : Error(messages::ZeroDivide()) {}
OverflowError::OverflowError() : Error(messages::Overflow()) {}
LineEndInTextError::LineEndInTextError() : Error(messages::LineEndInText()) {}
SameFileError::SameFileError() : Error(messages::SameFileAsInput()) {}
InOutError::InOutError(int code) : InOutError(io::IoCode::Ours(code)) {}
InOutError::InOutError(io::IoCode code)
    : Error(code.systemNumber ? messages::InOutNumber(code.value) : messages::InOut(code.value)),
      code_(code) {}

}  // namespace morvane
