#include "Listing.h"

#include <algorithm>
#include <filesystem>

#include "base/text.h"
#include "pakmgr/pack.h"
#include "pakmgr/pakmgr.h"

namespace PakMgr {

namespace {

bool EndsWithPak(const std::string& name) {
    return Base::LowerAscii(name).ends_with(".pak");
}

unsigned char UpperAscii(unsigned char c) {
    return c >= 'a' && c <= 'z' ? static_cast<unsigned char>(c - 'a' + 'A') : c;
}

// The order in which the game's platform lists a folder: ASCII letters compared in upper
// case, other bytes unsigned; names equal under that rule by their raw bytes.
bool ListingOrder(const std::string& a, const std::string& b) {
    const auto folded = [](char x, char y) {
        return UpperAscii(static_cast<unsigned char>(x)) <
               UpperAscii(static_cast<unsigned char>(y));
    };
    if (std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), folded)) {
        return true;
    }
    if (std::lexicographical_compare(b.begin(), b.end(), a.begin(), a.end(), folded)) {
        return false;
    }
    return a < b;
}

}  // namespace

bool ListsBefore(std::string_view a, std::string_view b) {
    return ListingOrder(std::string(a), std::string(b));
}

Listing ListArchives(const std::string& folder) {
    // Archives are opened on their first read, which may come after the current directory
    // has changed (an export switches it): a relative folder is made absolute now.
    std::error_code ec;
    std::filesystem::path absolute = std::filesystem::absolute(folder, ec);
    const std::string root = ec ? folder : absolute.string();
    Listing listing{root, {}};
    std::vector<std::string>& names = listing.names;
    for (const auto& item : std::filesystem::directory_iterator(root, ec)) {
        std::string name = item.path().filename().string();
        std::error_code typeError;
        if (EndsWithPak(name) && item.is_regular_file(typeError)) {
            names.push_back(std::move(name));
        }
    }
    std::sort(names.begin(), names.end(), ListingOrder);
    return listing;
}

std::string WhyNoGame(const std::string& folder) {
    std::error_code ec;
    const std::filesystem::file_status status = std::filesystem::status(folder, ec);
    if (!std::filesystem::exists(status)) {
        return "no such folder";
    }
    if (!std::filesystem::is_directory(status)) {
        return "not a folder";
    }
    return ListArchives(folder).names.empty() ? "no .pak in it" : "no readable .pak in it";
}

}  // namespace PakMgr
