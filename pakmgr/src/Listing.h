// Which files of a folder are archives, and in which order the game's platform lists them.
#pragma once

#include <string>
#include <vector>

namespace PakMgr {

struct Listing {
    std::string root;                // the folder, absolute when it could be made so
    std::vector<std::string> names;  // its regular files named *.pak, in listing order
};

// The folder's archives: names compared with ASCII letters in upper case and other bytes
// unsigned, names equal under that rule by their bytes. A folder that can't be read lists
// none.
Listing ListArchives(const std::string& folder);

}  // namespace PakMgr
