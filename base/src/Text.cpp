#include <iconv.h>

#include <algorithm>
#include <cerrno>
#include <string>

#include "base/text.h"

namespace Base {

namespace {

bool IsAscii(std::string_view text) {
    return std::all_of(text.begin(), text.end(), [](char c) { return (c & 0x80) == 0; });
}

class Converter {
public:
    Converter(const char* to, const char* from) : m_cd(iconv_open(to, from)) {}
    ~Converter() {
        if (m_cd != reinterpret_cast<iconv_t>(-1)) {
            iconv_close(m_cd);
        }
    }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;

    std::string Convert(std::string_view in) {
        if (IsAscii(in) || m_cd == reinterpret_cast<iconv_t>(-1)) {
            return std::string(in);
        }
        iconv(m_cd, nullptr, nullptr, nullptr, nullptr);
        std::string out(in.size() * 4 + 4, '\0');
        char* src = const_cast<char*>(in.data());
        std::size_t srcLeft = in.size();
        char* dst = out.data();
        std::size_t dstLeft = out.size();
        while (srcLeft > 0) {
            if (iconv(m_cd, &src, &srcLeft, &dst, &dstLeft) != static_cast<std::size_t>(-1)) {
                break;
            }
            if (errno == E2BIG) {
                break;  // cannot happen with four bytes per input byte
            }
            // An invalid or cut-off sequence: one byte becomes '?', then carry on.
            *dst++ = '?';
            --dstLeft;
            ++src;
            --srcLeft;
        }
        out.resize(out.size() - dstLeft);
        return out;
    }

private:
    iconv_t m_cd;
};

}  // namespace

std::string GbkToUtf8(std::string_view gbk) {
    thread_local Converter converter("UTF-8", "GBK");
    return converter.Convert(gbk);
}

std::string Utf8ToGbk(std::string_view utf8) {
    thread_local Converter converter("GBK", "UTF-8");
    return converter.Convert(utf8);
}

std::string LowerAscii(std::string_view gbk) {
    constexpr unsigned char kFirstLeadByte = 0x81;
    constexpr unsigned char kLastLeadByte = 0xFE;
    std::string text(gbk);
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c >= kFirstLeadByte && c <= kLastLeadByte) {
            ++i;  // the trail byte stays
        } else if (c >= 'A' && c <= 'Z') {
            text[i] = static_cast<char>(c - 'A' + 'a');
        }
    }
    return text;
}

}  // namespace Base
