#include "base/except.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <new>

#include "base/text.h"

Except::Except(ErrorKind kind, const char* format, ...) : m_kind(kind) {
    char buffer[kMaxLength + 1];
    va_list args;
    va_start(args, format);
    int n = std::vsnprintf(buffer, sizeof buffer, format, args);
    va_end(args);
    m_message.assign(buffer, n < 0 ? 0 : std::min<std::size_t>(n, kMaxLength));
}

Except Except::Literal(ErrorKind kind, std::string_view text) {
    Except e(kind);
    e.m_message.assign(text.substr(0, kMaxLength));
    return e;
}

namespace Base {

std::string Describe(const std::exception_ptr& error) {
    try {
        std::rethrow_exception(error);
    } catch (const Except& e) {
        return Base::GbkToUtf8(e.Message());
    } catch (const std::bad_alloc&) {
        return "out of memory";
    } catch (const std::exception& e) {
        return e.what();
    } catch (...) {
        return "unknown failure";
    }
}

}  // namespace Base
