#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <mutex>

#include "Inflate.h"
#include "Listing.h"
#include "TreeNode.h"
#include "base/except.h"
#include "base/file.h"
#include "pakmgr/layout.h"
#include "pakmgr/pakmgr.h"

namespace PakMgr {

namespace {

using Layout::kHeaderSize;
using Layout::kPathFieldSize;
using Layout::kRecordSize;
constexpr std::size_t kRecordsPerRead = 4096;
constexpr std::size_t kReservedEntries = 35000;
constexpr const char* kNotFound = "not found";
// A stored-bytes buffer above this size is given back after the entry is read, so that one
// huge entry does not stay in memory for the rest of the run.
constexpr std::size_t kKeptStoredBytes = 16u << 20;
// Entries lying back to back are read together up to this many stored bytes.
constexpr uint64_t kBatchedStoredBytes = 1u << 20;

uint32_t Word(const uint8_t* p) {
    uint32_t v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

// Reads exactly `size` bytes at `offset`; false on a short read or an error.
bool ReadAt(int fd, void* dst, std::size_t size, uint64_t offset) {
    auto* p = static_cast<uint8_t*>(dst);
    while (size > 0) {
        ssize_t n = ::pread(fd, p, size, static_cast<off_t>(offset));
        if (n <= 0) {
            if (n < 0 && errno == EINTR) {
                continue;
            }
            return false;
        }
        p += n;
        size -= static_cast<std::size_t>(n);
        offset += static_cast<uint64_t>(n);
    }
    return true;
}

// The calling thread's buffer for an entry's stored bytes, reused from read to read; one
// grown above kKeptStoredBytes is given back when the read is done. A read made while the
// thread's buffer is in use (from an entry sink) gets a buffer of its own, so that it never
// moves the bytes the outer read is still handing out.
class StoredBytes {
    bool m_shared;
    std::vector<uint8_t> m_own;

public:
    StoredBytes() : m_shared(!InUse()), bytes(m_shared ? ThreadBuffer() : m_own) { InUse() = true; }
    ~StoredBytes() {
        if (!m_shared) {
            return;
        }
        InUse() = false;
        if (bytes.capacity() > kKeptStoredBytes) {
            std::vector<uint8_t>().swap(bytes);
        }
    }
    StoredBytes(const StoredBytes&) = delete;
    StoredBytes& operator=(const StoredBytes&) = delete;

    std::vector<uint8_t>& bytes;

private:
    static std::vector<uint8_t>& ThreadBuffer() {
        thread_local std::vector<uint8_t> buffer;
        return buffer;
    }
    static bool& InUse() {
        thread_local bool inUse = false;
        return inUse;
    }
};

// Entries keep their path in the shared name arena and their archive as an index.
struct EntryRecord {
    std::string_view name;
    uint32_t archive;
    uint32_t spare;
    uint32_t inflatedSize;
    uint32_t storedSize;
    uint32_t offset;
};

struct Archive {
    std::string path;
    uint64_t size = 0;                       // at Open: no stored range past it is read
    std::unique_ptr<Base::FileHandle> file;  // opened on the first load that succeeds
};

class CPakMgr final : public IPakMgr {
public:
    CPakMgr() { ResetEntries(); }

    bool Open(const std::string& folder) override;
    void Clear() override;
    uint32_t GetFileCount() override { return static_cast<uint32_t>(m_entries.size()); }
    std::string GetFileName(uint32_t index) override;
    bool BuildTree() override;
    void WalkTree(ITreeCtrl* ctrl) override { PakMgr::WalkTree(m_root, ctrl); }
    std::unique_ptr<IRead> LoadFile(ITreeNode* node) override;

    bool GetEntry(uint32_t index, PakEntry& entry) override;
    std::vector<std::string> GetArchiveNames() override { return m_archiveNames; }
    std::vector<SkippedArchive> GetSkippedArchives() override { return m_skipped; }
    ITreeNode* GetRoot() override { return &m_root; }
    bool LoadEntry(uint32_t index, std::vector<uint8_t>& out) override;
    void LoadEntries(std::span<const uint32_t> indices, const EntrySink& sink) override;
    ITreeNode* GetEntryNode(uint32_t index) override {
        return index < m_entryNodes.size() ? m_entryNodes[index] : nullptr;
    }
    void LoadStoredEntries(std::span<const uint32_t> indices, const EntrySink& sink) override;
    bool InflateStored(uint32_t index, std::span<const uint8_t> stored,
                       std::vector<uint8_t>& out) override {
        return index < m_entries.size() && InflateEntry(index, stored, out);
    }
    bool LoadHead(ITreeNode* node, std::size_t max, std::vector<uint8_t>& head,
                  uint64_t& total) override;

private:
    void ResetEntries();
    // Throws when entries are being loaded: their sinks hold views into what would change.
    void RefuseChangeWhileLoading(const char* what) const;
    // Appends the archive's entries; empty, or why the archive adds none.
    std::string ReadArchive(const std::string& path);
    int ArchiveFile(uint32_t archive);
    // Whether the entry exists and its stored range lies inside its archive.
    bool InRange(uint32_t index) const;
    // Reads the entry's stored bytes into `stored`; false when unreadable.
    bool ReadStored(uint32_t index, std::vector<uint8_t>& stored);
    // The end of the run of `indices` from `first` whose stored bytes lie back to back in one
    // archive, holding at most kBatchedStoredBytes (or one entry of any size).
    std::size_t BackToBack(std::span<const uint32_t> indices, std::size_t first) const;
    // Reads the stored bytes of a run of back-to-back entries in one go.
    bool ReadRun(std::span<const uint32_t> run, std::vector<uint8_t>& stored);
    // Inflates stored bytes of entry `index` into `out`.
    bool InflateEntry(uint32_t index, std::span<const uint8_t> stored, std::vector<uint8_t>& out);

    std::vector<std::string> m_archiveNames;
    std::vector<SkippedArchive> m_skipped;
    std::vector<EntryRecord> m_entries;
    std::shared_ptr<NameArena> m_names;
    std::vector<Archive> m_archives;
    std::mutex m_archiveMutex;
    std::atomic<int> m_loading{0};  // LoadEntries calls under way, on any thread
    // The tree's names point into the arena it was built from; it lives as long as the tree.
    std::shared_ptr<NameArena> m_treeNames;
    // The node each entry's path ends at in the tree built last.
    std::vector<ITreeNode*> m_entryNodes;
    CTreeNode m_root;
};

void CPakMgr::ResetEntries() {
    m_entries.clear();
    m_entries.reserve(kReservedEntries);
    m_names = std::make_shared<NameArena>();
    m_skipped.clear();
    std::lock_guard lock(m_archiveMutex);
    m_archives.clear();
}

void CPakMgr::RefuseChangeWhileLoading(const char* what) const {
    if (m_loading > 0) {
        throw Except(ErrorKind::Input, "the archives can't be %s while their files are loading",
                     what);
    }
}

bool CPakMgr::Open(const std::string& folder) {
    RefuseChangeWhileLoading("opened");
    const Listing listing = ListArchives(folder);
    if (listing.names.empty()) {
        return false;
    }
    m_archiveNames = listing.names;
    bool read = false;
    for (const std::string& name : listing.names) {
        std::string problem = ReadArchive((std::filesystem::path(listing.root) / name).string());
        if (problem.empty()) {
            read = true;
        } else {
            m_skipped.push_back({name, std::move(problem)});
        }
    }
    return read;
}

std::string CPakMgr::ReadArchive(const std::string& path) {
    const Base::FileHandle file = Base::FileHandle::Open(path.c_str(), O_RDONLY | O_CLOEXEC);
    struct stat info {};
    if (file.Get() < 0 || ::fstat(file.Get(), &info) != 0) {
        return std::string("can't be opened: ") + std::strerror(errno);
    }
    const uint64_t fileSize = static_cast<uint64_t>(info.st_size);
    uint8_t header[kHeaderSize];
    if (fileSize < kHeaderSize || !ReadAt(file.Get(), header, kHeaderSize, 0)) {
        return fileSize == 0 ? "empty"
                             : std::to_string(fileSize) + " bytes, shorter than the " +
                                   std::to_string(kHeaderSize) + "-byte header";
    }
    const uint64_t claimed = Word(header + offsetof(Layout::Header, recordCount));
    const uint64_t tableOffset = Word(header + offsetof(Layout::Header, tableOffset));
    // Cut short, or no archive at all: not one record of its table is there.
    if (claimed > 0 && tableOffset + kRecordSize > fileSize) {
        return "its file table at byte " + std::to_string(tableOffset) + " runs past its end (" +
               std::to_string(fileSize) + " bytes)";
    }
    // Only the records that lie wholly inside the file are taken.
    const uint64_t present = tableOffset <= fileSize ? (fileSize - tableOffset) / kRecordSize : 0;
    const uint64_t count = std::min(claimed, present);
    if (count == 0) {
        return {};  // a table without records adds nothing
    }
    const auto archive = static_cast<uint32_t>(m_archives.size());
    m_archives.push_back(Archive{path, fileSize, nullptr});

    std::vector<uint8_t> table(std::min<uint64_t>(count, kRecordsPerRead) * kRecordSize);
    for (uint64_t first = 0; first < count; first += kRecordsPerRead) {
        const uint64_t n = std::min<uint64_t>(count - first, kRecordsPerRead);
        if (!ReadAt(file.Get(), table.data(), n * kRecordSize, tableOffset + first * kRecordSize)) {
            break;  // the file shrank under us: keep what was read
        }
        for (uint64_t j = 0; j < n; ++j) {
            uint8_t* record = table.data() + j * kRecordSize;
            record[0] = '\\';
            const auto* end = static_cast<const uint8_t*>(std::memchr(record, 0, kPathFieldSize));
            std::size_t length = end ? static_cast<std::size_t>(end - record) : kPathFieldSize;
            m_entries.push_back(
                EntryRecord{m_names->Add({reinterpret_cast<const char*>(record), length}), archive,
                            Word(record + offsetof(Layout::Record, spare)),
                            Word(record + offsetof(Layout::Record, inflatedSize)),
                            Word(record + offsetof(Layout::Record, storedSize)),
                            Word(record + offsetof(Layout::Record, offset))});
        }
    }
    return {};
}

void CPakMgr::Clear() {
    RefuseChangeWhileLoading("closed");
    ResetEntries();
}

std::string CPakMgr::GetFileName(uint32_t index) {
    if (index >= m_entries.size()) {
        return kNotFound;
    }
    return std::string(m_entries[index].name);
}

bool CPakMgr::BuildTree() {
    RefuseChangeWhileLoading("rebuilt");
    // A fresh root every time: no node may keep an index into an earlier entry list.
    m_root.Reset("root", -1);
    m_entryNodes.clear();
    m_treeNames = m_names;
    if (m_entries.empty()) {
        return false;
    }
    TreeBuilder builder(m_root, m_entries.size() + m_entries.size() / 4);
    m_entryNodes.resize(m_entries.size());
    for (std::size_t i = 0; i < m_entries.size(); ++i) {
        m_entryNodes[i] = builder.Insert(m_entries[i].name, static_cast<int32_t>(i));
    }
    return true;
}

bool CPakMgr::GetEntry(uint32_t index, PakEntry& entry) {
    if (index >= m_entries.size()) {
        return false;
    }
    const EntryRecord& r = m_entries[index];
    entry = PakEntry{std::string(r.name),
                     m_archives[r.archive].path,
                     r.spare,
                     r.inflatedSize,
                     r.storedSize,
                     r.offset};
    return true;
}

int CPakMgr::ArchiveFile(uint32_t archive) {
    std::lock_guard lock(m_archiveMutex);
    Archive& a = m_archives[archive];
    // A failed open (too many open files, a permission fixed since) is tried again next time.
    if (!a.file) {
        auto file = std::make_unique<Base::FileHandle>(
            Base::FileHandle::Open(a.path.c_str(), O_RDONLY | O_CLOEXEC));
        if (file->Get() >= 0) {
            a.file = std::move(file);
        }
    }
    return a.file ? a.file->Get() : -1;
}

bool CPakMgr::InRange(uint32_t index) const {
    if (index >= m_entries.size()) {
        return false;
    }
    const EntryRecord& r = m_entries[index];
    return r.storedSize > 0 && uint64_t{r.offset} + r.storedSize <= m_archives[r.archive].size;
}

bool CPakMgr::ReadStored(uint32_t index, std::vector<uint8_t>& stored) {
    if (!InRange(index)) {
        return false;
    }
    const EntryRecord& r = m_entries[index];
    const int fd = ArchiveFile(r.archive);
    if (fd < 0) {
        return false;
    }
    // An archive cut since it was opened reads short.
    stored.resize(r.storedSize);
    return ReadAt(fd, stored.data(), stored.size(), r.offset);
}

bool CPakMgr::InflateEntry(uint32_t index, std::span<const uint8_t> stored,
                           std::vector<uint8_t>& out) {
    const uint32_t size = m_entries[index].inflatedSize;
    if (size == 0) {
        return InflateUnknownSize(stored, out);
    }
    if (!PlausibleSize(stored.size(), size)) {
        return false;
    }
    out.resize(size);
    return InflateExact(stored, out);
}

bool CPakMgr::LoadEntry(uint32_t index, std::vector<uint8_t>& out) {
    if (index >= m_entries.size()) {
        return false;
    }
    StoredBytes stored;
    return ReadStored(index, stored.bytes) && InflateEntry(index, stored.bytes, out);
}

std::size_t CPakMgr::BackToBack(std::span<const uint32_t> indices, std::size_t first) const {
    std::size_t end = first + 1;
    if (!InRange(indices[first])) {
        return end;
    }
    const EntryRecord& head = m_entries[indices[first]];
    uint64_t storedEnd = uint64_t{head.offset} + head.storedSize;
    for (; end < indices.size() && InRange(indices[end]); ++end) {
        const EntryRecord& r = m_entries[indices[end]];
        if (r.archive != head.archive || r.offset != storedEnd ||
            storedEnd + r.storedSize - head.offset > kBatchedStoredBytes) {
            break;
        }
        storedEnd += r.storedSize;
    }
    return end;
}

bool CPakMgr::ReadRun(std::span<const uint32_t> run, std::vector<uint8_t>& stored) {
    if (!InRange(run.front())) {
        return false;
    }
    const EntryRecord& head = m_entries[run.front()];
    const EntryRecord& last = m_entries[run.back()];
    const int fd = ArchiveFile(head.archive);
    if (fd < 0) {
        return false;
    }
    stored.resize(uint64_t{last.offset} + last.storedSize - head.offset);
    return ReadAt(fd, stored.data(), stored.size(), head.offset);
}

void CPakMgr::LoadEntries(std::span<const uint32_t> indices, const EntrySink& sink) {
    struct Loading {
        std::atomic<int>& count;
        explicit Loading(std::atomic<int>& c) : count(c) { ++count; }
        ~Loading() { --count; }
        Loading(const Loading&) = delete;
        Loading& operator=(const Loading&) = delete;
    } loading(m_loading);
    std::vector<uint8_t> out;
    StoredBytes stored;
    const auto hand = [&](std::size_t position, bool ok) {
        if (!ok) {
            out.clear();
        }
        sink(position, ok, out);
    };
    for (std::size_t first = 0; first < indices.size();) {
        const std::size_t end = BackToBack(indices, first);
        if (ReadRun(indices.subspan(first, end - first), stored.bytes)) {
            std::span<const uint8_t> rest = stored.bytes;
            for (std::size_t i = first; i < end; ++i) {
                const uint32_t size = m_entries[indices[i]].storedSize;
                hand(i, InflateEntry(indices[i], rest.first(size), out));
                rest = rest.subspan(size);
            }
        } else {
            // A run that can't be read whole (an archive cut since it was opened) is read
            // entry by entry, so that only the entries really lost are reported.
            for (std::size_t i = first; i < end; ++i) {
                hand(i, ReadStored(indices[i], stored.bytes) &&
                            InflateEntry(indices[i], stored.bytes, out));
            }
        }
        first = end;
    }
}

void CPakMgr::LoadStoredEntries(std::span<const uint32_t> indices, const EntrySink& sink) {
    std::vector<uint8_t> out;
    StoredBytes stored;
    for (std::size_t first = 0; first < indices.size();) {
        const std::size_t end = BackToBack(indices, first);
        const bool whole = ReadRun(indices.subspan(first, end - first), stored.bytes);
        std::span<const uint8_t> rest = stored.bytes;
        for (std::size_t i = first; i < end; ++i) {
            const uint32_t size = InRange(indices[i]) ? m_entries[indices[i]].storedSize : 0;
            // A run that can't be read whole is read entry by entry, as LoadEntries does.
            const bool ok = whole ? true : ReadStored(indices[i], out);
            if (whole) {
                out.assign(rest.begin(), rest.begin() + size);
                rest = rest.subspan(size);
            } else if (!ok) {
                out.clear();
            }
            sink(i, ok, out);
        }
        first = end;
    }
}

std::unique_ptr<IRead> CPakMgr::LoadFile(ITreeNode* node) {
    if (!node || node->GetIndex() < 0) {
        return nullptr;
    }
    const auto index = static_cast<uint32_t>(node->GetIndex());
    StoredBytes stored;
    if (!ReadStored(index, stored.bytes)) {
        return nullptr;
    }
    const uint32_t size = m_entries[index].inflatedSize;
    if (size == 0) {
        std::vector<uint8_t> bytes;
        if (!InflateUnknownSize(stored.bytes, bytes)) {
            return nullptr;
        }
        return std::make_unique<CMemoryRead>(bytes.data(), static_cast<uint32_t>(bytes.size()));
    }
    if (!PlausibleSize(stored.bytes.size(), size)) {
        return nullptr;
    }
    // Inflated straight into the reader's own buffer: no copy, no zero-filling.
    auto bytes = std::make_unique_for_overwrite<uint8_t[]>(size);
    if (!InflateExact(stored.bytes, {bytes.get(), size})) {
        return nullptr;
    }
    return std::make_unique<CMemoryRead>(std::move(bytes), size);
}

bool CPakMgr::LoadHead(ITreeNode* node, std::size_t max, std::vector<uint8_t>& head,
                       uint64_t& total) {
    // A folder's node carries the index of the first file below it: no head of its own.
    if (!node || node->GetIndex() < 0 || node->GetChildCount() > 0) {
        return false;
    }
    const auto index = static_cast<uint32_t>(node->GetIndex());
    if (index >= m_entries.size() || m_entries[index].inflatedSize == 0 ||
        m_entries[index].inflatedSize <= max) {
        // No size on record: only inflating the whole stream tells it. A head that is the
        // whole file is read as LoadFile reads it, to the stream's end and its checksum, so
        // that it is never shown whole when LoadFile refuses it.
        if (!LoadEntry(index, head)) {
            return false;
        }
        total = head.size();
        head.resize(std::min(head.size(), max));
        return true;
    }
    const EntryRecord& r = m_entries[index];
    if (!InRange(index) || !PlausibleSize(r.storedSize, r.inflatedSize)) {
        return false;
    }
    const int fd = ArchiveFile(r.archive);
    if (fd < 0) {
        return false;
    }
    uint64_t offset = r.offset;
    const auto read = [fd, &offset](std::span<uint8_t> piece) {
        const bool ok = ReadAt(fd, piece.data(), piece.size(), offset);
        offset += piece.size();
        return ok;
    };
    head.resize(std::min<std::size_t>(r.inflatedSize, max));
    total = r.inflatedSize;
    return InflateHead(r.storedSize, read, head);
}

}  // namespace

IPakMgr* GetPakMgr() {
    static CPakMgr manager;
    return &manager;
}

std::unique_ptr<IPakMgr> CreatePakMgr() {
    return std::make_unique<CPakMgr>();
}

}  // namespace PakMgr
