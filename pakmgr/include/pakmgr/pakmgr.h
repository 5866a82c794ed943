// Archive access: the game's pak archives merged into one directory tree, and the
// in-memory reader through which every archived file reaches its user.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "base/except.h"

namespace PakMgr {

// An archived file's bytes in memory with a read position. No byte-order conversion.
struct IRead {
    virtual ~IRead() = default;
    // Writes all bytes, whatever the position, through WriteWholeFile; false when the file
    // can't be written (errno tells why; nothing partial is left).
    virtual bool SaveToFile(const std::string& path) = 0;
    virtual bool IsEmpty() = 0;
    // Copies up to count bytes at the position and advances; a short read is silent.
    virtual void Read(void* dst, uint32_t count) = 0;
    virtual uint32_t Tell() = 0;
    virtual void Clear() = 0;
    // origin 0: from the start, 1: from the position, 2: backwards from the end. Never clamped.
    virtual void Seek(int32_t offset, int32_t origin) = 0;
    virtual uint32_t GetSize() = 0;
};

class CMemoryRead final : public IRead {
public:
    CMemoryRead(const void* bytes, uint32_t size);
    // Takes over `size` bytes that the caller filled.
    CMemoryRead(std::unique_ptr<uint8_t[]> bytes, uint32_t size);

    bool SaveToFile(const std::string& path) override;
    bool IsEmpty() override;
    void Read(void* dst, uint32_t count) override;
    uint32_t Tell() override;
    void Clear() override;
    void Seek(int32_t offset, int32_t origin) override;
    uint32_t GetSize() override;

    // The bytes themselves, for callers that parse in place.
    std::span<const uint8_t> Data() const { return {m_data.get(), m_size}; }

private:
    std::unique_ptr<uint8_t[]> m_data;
    uint32_t m_size = 0;
    uint32_t m_position = 0;
};

struct ITreeNode;

struct ITreeVisitor {
    virtual ~ITreeVisitor() = default;
    virtual void Visit(ITreeNode* child) = 0;
};

// A node of the merged directory tree: a folder when it has children, a file otherwise.
// Nodes are owned by the archive manager's tree; pointers to them are borrowed.
struct ITreeNode {
    virtual ~ITreeNode() = default;
    virtual std::string GetName() = 0;
    virtual int32_t GetIndex() = 0;
    virtual uint32_t GetChildCount() = 0;
    virtual void ForEachChild(ITreeVisitor* visitor) = 0;
    virtual ITreeNode* GetParent() = 0;
    // The direct child with exactly this name (bytes, case-sensitive), or null.
    virtual ITreeNode* FindChild(const std::string& name) = 0;
    // The first node of this name below this one: direct children first, then depth-first.
    virtual ITreeNode* FindNode(const std::string& name) = 0;
    // The name without a copy; valid as long as the node.
    virtual std::string_view Name() const = 0;
};

// Calls fn(child) for each direct child of `node`, in the tree's order: the way to walk the
// tree without writing a visitor class.
template <typename Fn>
void ForEachChild(ITreeNode* node, Fn&& fn) {
    struct Visitor final : ITreeVisitor {
        explicit Visitor(Fn& f) : call(f) {}
        void Visit(ITreeNode* child) override { call(child); }
        Fn& call;
    } visitor(fn);
    node->ForEachChild(&visitor);
}

// Receives the tree node by node from IPakMgr::WalkTree, parents before children.
struct ITreeCtrl {
    virtual ~ITreeCtrl() = default;
    virtual void* InsertNode(ITreeNode* node, void* parentItem, bool isLeaf) = 0;
    virtual void SetNodeData(void* item, ITreeNode* node) = 0;
};

// One record of an archive's file table.
struct PakEntry {
    std::string name;     // begins with '\'
    std::string pakPath;  // folder + '/' + archive file name
    uint32_t spare = 0;
    uint32_t inflatedSize = 0;  // 0 means unknown
    uint32_t storedSize = 0;
    uint32_t offset = 0;
};

// An archive that Open listed but could not read, so it adds no entries.
struct SkippedArchive {
    std::string name;    // the archive's file name, as the folder lists it
    std::string reason;  // in English: "can't be opened: ...", "empty", ...
};

struct IPakMgr {
    virtual ~IPakMgr() = default;
    // Lists the folder's *.pak archives (any letter case) and appends their entries, in the
    // order of the game's platform: names compared with ASCII letters in upper case and other
    // bytes unsigned, equal ones by their bytes. An archive that can't be opened, is shorter
    // than its header or whose table lies past its end is skipped (GetSkippedArchives says
    // why) and the others are read. False when the folder holds no archive, or none that
    // could be read. A relative folder is taken from the current directory at the call: the
    // entries' archive paths are absolute.
    virtual bool Open(const std::string& folder) = 0;
    // Empties the entry list and the list of skipped archives.
    virtual void Clear() = 0;
    virtual uint32_t GetFileCount() = 0;
    // The entry's name, or "not found".
    virtual std::string GetFileName(uint32_t index) = 0;
    // Builds the merged tree afresh from the entry list; false when the list is empty.
    // Nodes of an earlier tree are destroyed.
    virtual bool BuildTree() = 0;
    virtual void WalkTree(ITreeCtrl* ctrl) = 0;
    // The node's file, inflated; null when it can't be read or inflated exactly.
    virtual std::unique_ptr<IRead> LoadFile(ITreeNode* node) = 0;

    // Beyond the reading interface: the entry list and the tree's root for tools.
    virtual bool GetEntry(uint32_t index, PakEntry& entry) = 0;
    virtual std::vector<std::string> GetArchiveNames() = 0;
    // The archives the Opens since the last Clear skipped, in the order they were listed.
    virtual std::vector<SkippedArchive> GetSkippedArchives() = 0;
    virtual ITreeNode* GetRoot() = 0;
    // Inflates entry `index` into `out` (reusing its capacity); false on any failure.
    virtual bool LoadEntry(uint32_t index, std::vector<uint8_t>& out) = 0;
    // Called with an entry's position in the list asked for and its inflated bytes; `ok` is
    // false (and the bytes empty) when the entry can't be read.
    using EntrySink =
        std::function<void(std::size_t position, bool ok, const std::vector<uint8_t>& bytes)>;
    // Loads the entries in the order given. Entries whose stored bytes lie back to back in one
    // archive are read together, so a bulk export asks the system for far fewer reads.
    // The sink may read through the manager (LoadFile, LoadEntry, LoadEntries, GetEntry...):
    // such reads use buffers of their own. Open, Clear and BuildTree are refused with an
    // Except (ErrorKind::Input) while any LoadEntries runs, from the sink or another thread;
    // the exception leaves LoadEntries through the sink, and the manager is as it was.
    virtual void LoadEntries(std::span<const uint32_t> indices, const EntrySink& sink) = 0;
    // The node entry `index`'s path ends at in the tree built last; null before a build or
    // past the end. Several entries end at one node when archives (or one archive's table)
    // hold its path more than once: the node reads the first of them.
    virtual ITreeNode* GetEntryNode(uint32_t index) = 0;
    // As LoadEntries, but hands each entry's stored bytes as its archive holds them.
    virtual void LoadStoredEntries(std::span<const uint32_t> indices, const EntrySink& sink) = 0;
    // Inflates stored bytes of entry `index` (as LoadStoredEntries gave them) into `out`, as
    // LoadEntry would; false when they don't inflate to the entry's size.
    virtual bool InflateStored(uint32_t index, std::span<const uint8_t> stored,
                               std::vector<uint8_t>& out) = 0;
    // The node's first `max` inflated bytes (all of them when the file is shorter) into `head`
    // and its inflated size into `total`. Where the archive records the size, only the
    // stored bytes the head needs are read and inflated, so a look at a huge file costs no
    // more than at a small one; a fault in the stream past the head goes unseen. A head that
    // holds the whole file is checked as LoadFile checks it (the stream's end, its checksum).
    // False when the node is no file (a folder) or its head can't be read.
    virtual bool LoadHead(ITreeNode* node, std::size_t max, std::vector<uint8_t>& head,
                          uint64_t& total) = 0;
};

// The program's one archive manager.
IPakMgr* GetPakMgr();
// A manager of one's own, for tools and tests that need several.
std::unique_ptr<IPakMgr> CreatePakMgr();

// Path helpers shared by every front end.

// The names that one export has handed out in one output folder, so that no two of its
// files meet: each name is claimed by the source it was made from (an archive name, a
// sub-mesh's...), cut or not.
class CutNames {
public:
    struct Renamed {
        std::string source;  // as given to Claim
        std::string name;    // the name handed out instead of the one wanted
    };
    // The name given to `source` before (one source is one file: written again, the later
    // overwrites the earlier), else `numbered(0)` when no other source has it, else
    // numbered(1), numbered(2)..., the first that is free; such a rename is remembered.
    std::string Claim(const std::string& source, const std::function<std::string(int)>& numbered);
    // Every source that got another name than the one it wanted, in the order claimed.
    const std::vector<Renamed>& Renames() const { return m_renamed; }

private:
    std::unordered_map<std::string, std::string> m_bySource;
    std::unordered_set<std::string> m_given;
    std::vector<Renamed> m_renamed;
};

// The longest name a file system takes, in bytes.
inline constexpr std::size_t kMaxFileNameBytes = 255;

// A name from an archive or a model file made safe to create inside a chosen folder:
// converted to UTF-8; '/', '\' and NUL become '_'; empty, "." and ".." become "_". A name
// over kMaxFileNameBytes is cut on a character boundary keeping its extension. With `names`,
// the name is claimed for `archiveName` in its folder: one that another name of the export
// already has gets ~1, ~2... before the extension.
std::string SafeFileName(std::string_view archiveName, CutNames* names = nullptr);
// The same for a name made from another that it stands for (a skin written as
// "<stem>.glb"): claimed for `source`, so that two sources never share a file.
std::string SafeFileName(std::string_view wanted, CutNames& names, std::string_view source);

// Why `folder` holds no archive to open, for the line after "where is the game ?!":
// "no such folder", "not a folder", "no .pak in it", or "no readable .pak in it" when it
// holds some (the skipped archives say why each failed).
std::string WhyNoGame(const std::string& folder);

// Finds a node from a command-line path: '/' or '\' between components, a leading
// separator optional; each component (UTF-8, converted to code page 936) is found with
// FindChild from the root. Null when nothing matches.
ITreeNode* FindPath(IPakMgr& mgr, std::string_view utf8Path);

// The node's path from the root with `separator` between components (archive bytes).
std::string NodePath(ITreeNode* node, char separator);

// ---- for modders: where a file comes from, what an update changed ----------------------

// Every entry that holds the node's path, the one it reads (the winner) first, then the
// copies it overrides in list order. Empty for a folder or a node of another manager.
std::vector<uint32_t> Records(IPakMgr& mgr, ITreeNode* node);
// An entry as `vell list` prints it: index, inflated and stored size, offset, archive file
// name and path, separated by tabs, in UTF-8, with the line break.
std::string RecordLine(uint32_t index, const PakEntry& entry);

// A path of the merged trees that differs between two games.
struct Change {
    enum Kind : char { kAdded = '+', kRemoved = '-', kChanged = 'M' };
    Kind kind;
    std::string path;    // archive bytes, '\' between components, no leading separator
    ITreeNode* oldNode;  // null when added
    ITreeNode* newNode;  // null when removed
};

struct Comparison {
    std::vector<Change> changes;  // by path, bytes compared
    // Paths both hold whose bytes can't be read or compared (the newer game's nodes), by path.
    std::vector<ITreeNode*> unreadable;
    std::size_t unchanged = 0;
};

// Called as parts of the common paths are done, one call at a time, `done` growing; the last
// call has `done` equal to `total`.
using CompareProgress = std::function<void(std::size_t done, std::size_t total)>;

// Compares the files of two games' merged trees: a path only one holds is added or removed;
// one both hold changed when their inflated bytes differ. Stored bytes are compared first,
// and only files whose stored bytes differ are inflated. Both trees must be built. The
// common paths are compared in parts on Base::ForEachIndex workers; a part that fails
// (memory running out) makes its paths unreadable.
Comparison Compare(IPakMgr& older, IPakMgr& newer, const CompareProgress& progress = {});

// The same comparison cut into parts, for a caller that runs them on workers of its own (a
// window showing progress). A part holds a bounded number of stored bytes (or one pair of
// files, however large), so that what a worker keeps never grows with the archives.
class CompareJob {
public:
    // Walks both trees and cuts the common paths into parts; both managers must outlive it.
    CompareJob(IPakMgr& older, IPakMgr& newer);
    ~CompareJob();
    CompareJob(const CompareJob&) = delete;
    CompareJob& operator=(const CompareJob&) = delete;

    std::size_t Parts() const;
    // The paths both games hold, and how many of them part `part` compares.
    std::size_t CommonFiles() const;
    std::size_t FilesOf(std::size_t part) const;
    // Compares one part. Distinct parts may run on several threads at once. Whatever it
    // throws is the caller's: it then calls Failed for the part.
    void Run(std::size_t part);
    // The part's paths could not be compared: they are reported unreadable.
    void Failed(std::size_t part);
    // What the parts found; a part never run counts its paths unchanged.
    Comparison Result() const;

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

}  // namespace PakMgr
