#pragma once
// Error codes of the serial library and the exception tree they map onto.

#include <cstdint>
#include <stdexcept>
#include <string>

class TSerBaseComponent;

class ESerException : public std::runtime_error {
public:
    // The message is the code's text (ErrorMsg of its magnitude).
    explicit ESerException(int32_t code);
    // ErrorCode 0 with the given message.
    explicit ESerException(const std::string &text);
    ESerException(int32_t code, const std::string &message);

    int32_t ErrorCode() const { return errorCode_; }

private:
    int32_t errorCode_;
};

#define SER_CLASS(name, parent)                  \
    class name : public parent {                 \
    public:                                      \
        using parent::parent;                    \
    };
#define SER_CODE(code, name)
#include "SerExcept.def"
#undef SER_CLASS
#undef SER_CODE

// The runtime's input/output error: file and device errors 2 to 162, with the error number.
class EInOutError : public std::runtime_error {
public:
    EInOutError(int32_t errorCode, const std::string &message)
        : std::runtime_error(message), errorCode_(errorCode) {}
    int32_t ErrorCode() const { return errorCode_; }

private:
    int32_t errorCode_;
};

// The text of an error code's magnitude (at most 255 characters): the library's error-text table, or the
// system's message when the table has none. Never raises.
std::string ErrorMsg(int64_t code);

// Returns a code that is not negative (or any code while the component is loading); raises the exception
// of a negative code: its class from the tree, the runtime's input/output error for -2 to -162 (-8 is out
// of memory), otherwise ESerException "Serial library exception" with ErrorCode 0.
int32_t CheckException(const TSerBaseComponent *port, int32_t code);
// The same, with `detail` (the device concerned, what to do) added to the message of the exception raised.
int32_t CheckException(const TSerBaseComponent *port, int32_t code, const std::string &detail);
