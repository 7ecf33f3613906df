#include "SerExcept.h"

#include "SerErrno.h"
#include "SerMisc.h"
#include "SerStringTables.h"

#include <cstdlib>
#include <new>

namespace {

using Thrower = void (*)(int32_t code, const std::string &message);

struct CodeClass {
    int32_t code;
    Thrower raise;
};

#define SER_CLASS(name, parent)
#define SER_CODE(code, name) {code, [](int32_t c, const std::string &message) { throw name(c, message); }},
const CodeClass codeClasses[] = {
#include "SerExcept.def"
};
#undef SER_CLASS
#undef SER_CODE

} // namespace

ESerException::ESerException(int32_t code) : std::runtime_error(ErrorMsg(code)), errorCode_(code) {}

ESerException::ESerException(const std::string &text) : std::runtime_error(text), errorCode_(0) {}

ESerException::ESerException(int32_t code, const std::string &message) : std::runtime_error(message), errorCode_(code) {}

std::string ErrorMsg(int64_t code)
{
    const int64_t id = std::llabs(code);
    std::string text;
    if (id <= INT32_MAX) {
        try {
            text = SerErrorStrings().GetString(int32_t(id)).substr(0, 255);
        } catch (const EStringResourceError &) {
            text.clear();   // a broken table must not replace the error being reported
        }
    }
    if (text.empty() && id <= UINT32_MAX)
        text = SerSystemMessage(uint32_t(id));
    return text;
}

int32_t CheckException(const TSerBaseComponent *port, int32_t code)
{
    return CheckException(port, code, std::string());
}

int32_t CheckException(const TSerBaseComponent *port, int32_t code, const std::string &detail)
{
    if (code >= 0 || (port && port->ComponentLoading()))
        return code;
    for (const CodeClass &entry : codeClasses)
        if (entry.code == code)
            entry.raise(code, ErrorMsg(code) + detail);
    if (code == -int32_t(SerError::NotEnoughMemory))
        throw std::bad_alloc();
    if (code <= -2 && code >= -162)
        throw EInOutError(-code, ErrorMsg(code) + detail);
    throw ESerException("Serial library exception" + detail);
}
