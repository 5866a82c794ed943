// A patched version of the sample game, as a game update makes one: a few files changed,
// added and removed, and an archive that overrides copies of the others; or every file
// changed.
#include <algorithm>

#include "SampleBuild.h"
#include "forge/sample.h"

namespace Forge::SampleBuild {
namespace {

bool EndsWith(const std::string& text, std::string_view tail) {
    return text.size() >= tail.size() &&
           text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

// Other bytes that still read as the same kind of file: pictures and sounds get their last
// sample changed, everything else (text, models, tables) a line more at the end, which the
// readers leave unread.
void Change(PakFile& file) {
    if (file.data.empty()) {
        file.data.push_back('\n');
    } else if (EndsWith(file.path, ".dds") || EndsWith(file.path, ".wav")) {
        file.data.back() ^= 0x01;
    } else {
        const std::string_view line = "\n-- patched\n";
        file.data.insert(file.data.end(), line.begin(), line.end());
    }
}

SampleArchive* Find(std::vector<SampleArchive>& archives, std::string_view name) {
    for (SampleArchive& archive : archives) {
        if (archive.name == name) {
            return &archive;
        }
    }
    return nullptr;
}

PakFile* Find(SampleArchive& archive, std::string_view path) {
    for (PakFile& file : archive.files) {
        if (file.path == path) {
            return &file;
        }
    }
    return nullptr;
}

void ChangeSome(std::vector<SampleArchive>& archives) {
    SampleArchive& patch = *Find(archives, Sample::kPatchArchive);
    SampleArchive& data = *Find(archives, "data.pak");
    for (const char* path : Sample::kPatchChanged) {
        for (SampleArchive* archive : {&patch, &data}) {
            if (PakFile* file = Find(*archive, path)) {
                Change(*file);
            }
        }
    }
    std::erase_if(data.files, [](const PakFile& file) {
        return std::find(Sample::kPatchRemoved.begin(), Sample::kPatchRemoved.end(), file.path) !=
               Sample::kPatchRemoved.end();
    });
    for (const char* path : Sample::kPatchAdded) {
        const std::string text = std::string("-- new in the update: ") + path + "\n";
        patch.files.push_back(PakFile{.path = path, .data = {text.begin(), text.end()}});
    }
    // The update's own override: the tunic as the base archive has it, over the patch's.
    SampleArchive hotfix{.name = Sample::kHotfixArchive};
    SampleArchive& chars = *Find(archives, "char.pak");
    hotfix.files.push_back(*Find(chars, Sample::kPatchedTexture));
    PakFile login = *Find(patch, Sample::kHotfixLogin);
    Change(login);
    hotfix.files.push_back(std::move(login));
    archives.insert(archives.begin(), std::move(hotfix));
}

}  // namespace

void ApplyPatch(std::vector<SampleArchive>& archives, SamplePatch patch) {
    if (patch == SamplePatch::Some) {
        ChangeSome(archives);
    } else if (patch == SamplePatch::All) {
        for (SampleArchive& archive : archives) {
            for (PakFile& file : archive.files) {
                Change(file);
            }
        }
    }
}

}  // namespace Forge::SampleBuild
