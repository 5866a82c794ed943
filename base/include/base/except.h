// The one exception type of the program: a message for the user and the kind of failure,
// which callers and tests check instead of reading the message.
#pragma once

#include <cstddef>
#include <exception>
#include <string>
#include <string_view>

enum class ErrorKind {
    Corrupt,      // counts or lengths past the end of the data, streams that don't decode
    Unsupported,  // well-formed data this program can't handle (a texture format, a cube map)
    Version,      // a file version this program doesn't know
    Input,        // the wrong thing asked for: not a skin, an empty node, a file that fits nothing
    Io,           // a file that can't be read or written
};

// The message is formatted printf-style and cut to kMaxLength characters, as the message
// boxes that show it expect.
class Except : public std::exception {
public:
    static constexpr std::size_t kMaxLength = 1023;

    Except(ErrorKind kind, const char* format, ...) __attribute__((format(printf, 3, 4)));
    static Except Literal(ErrorKind kind, std::string_view text);

    const char* what() const noexcept override { return m_message.c_str(); }
    const std::string& Message() const noexcept { return m_message; }
    ErrorKind Kind() const noexcept { return m_kind; }

private:
    explicit Except(ErrorKind kind) : m_kind(kind) {}
    ErrorKind m_kind;
    std::string m_message;
};

namespace Base {

// What a failure says, in UTF-8 for a line of a report: an Except's message (converted from
// code page 936), "out of memory" for std::bad_alloc, what() of any other standard exception,
// "unknown failure" for anything else.
std::string Describe(const std::exception_ptr& error);

}  // namespace Base
