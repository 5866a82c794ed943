#include "base/except.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>

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
