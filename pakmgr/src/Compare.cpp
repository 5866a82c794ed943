// Where a path's copies lie, and what differs between two games' merged trees.
#include <algorithm>
#include <charconv>
#include <cstring>
#include <mutex>

#include "base/parallel.h"
#include "base/text.h"
#include "pakmgr/pakmgr.h"

namespace PakMgr {

namespace {

// What one part of a comparison holds at once: the stored bytes of both games' copies of its
// paths (one pair of any size alone). Records of a crafted archive may overlap, each as large
// as the archive: the bound is on bytes, not on a count of pairs.
constexpr uint64_t kPartStoredBytes = 8u << 20;
// And at most this many pairs, so that progress moves on archives of small files.
constexpr std::size_t kMostPairsPerPart = 256;
// Parts run at once: beyond this they only fight over the disk.
constexpr unsigned kMostWorkers = 8;

void PutNumber(std::string& line, uint64_t value) {
    char digits[24];
    const auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
    line.append(digits, end);
}

using Named = std::pair<std::string_view, ITreeNode*>;

// The folder's children sorted by name.
std::vector<Named> SortedChildren(ITreeNode* folder) {
    std::vector<Named> children;
    ForEachChild(folder, [&](ITreeNode* child) { children.emplace_back(child->Name(), child); });
    std::sort(children.begin(), children.end(),
              [](const Named& a, const Named& b) { return a.first < b.first; });
    return children;
}

uint32_t IndexOf(ITreeNode* node) {
    return static_cast<uint32_t>(node->GetIndex());
}

// A path both games hold, and what comparing it found.
struct Pair {
    ITreeNode* oldNode;
    ITreeNode* newNode;
    enum Outcome : char { kSame, kDiffer, kUnreadable } outcome = kSame;
};

// Compares slices of pairs: stored bytes first; where they differ, both sides inflated from
// the stored bytes already read.
class SliceCompare {
public:
    SliceCompare(IPakMgr& older, IPakMgr& newer) : m_older(older), m_newer(newer) {}

    void Run(std::span<Pair> pairs) {
        m_indices.clear();
        for (const Pair& pair : pairs) {
            m_indices.push_back(IndexOf(pair.oldNode));
        }
        m_old.Clear();
        m_older.LoadStoredEntries(
            m_indices, [&](std::size_t, bool ok, const auto& bytes) { m_old.Add(ok, bytes); });
        for (std::size_t i = 0; i < pairs.size(); ++i) {
            m_indices[i] = IndexOf(pairs[i].newNode);
        }
        // The newer game's stored bytes of the pairs that differ are kept to inflate after
        // the read: nothing calls back into a manager from its own sink.
        m_new.Clear();
        m_differing.clear();
        m_newer.LoadStoredEntries(m_indices, [&](std::size_t i, bool ok, const auto& bytes) {
            if (!ok || !m_old.ok[i]) {
                pairs[i].outcome = Pair::kUnreadable;
            } else if (!m_old.Equals(i, bytes) || InflatedSizesDiffer(pairs[i])) {
                m_differing.push_back(i);
                m_new.Add(true, bytes);
            }
        });
        for (std::size_t k = 0; k < m_differing.size(); ++k) {
            Pair& pair = pairs[m_differing[k]];
            const bool read =
                m_older.InflateStored(IndexOf(pair.oldNode), m_old.At(m_differing[k]), m_before) &&
                m_newer.InflateStored(IndexOf(pair.newNode), m_new.At(k), m_after);
            pair.outcome = !read                 ? Pair::kUnreadable
                           : m_before == m_after ? Pair::kSame
                                                 : Pair::kDiffer;
        }
    }

private:
    // Stored bytes of several entries back to back.
    struct Stored {
        std::vector<uint8_t> bytes;
        std::vector<std::size_t> starts{0};
        std::vector<char> ok;
        void Clear() {
            bytes.clear();
            starts.assign(1, 0);
            ok.clear();
        }
        void Add(bool read, const std::vector<uint8_t>& b) {
            ok.push_back(read ? 1 : 0);
            bytes.insert(bytes.end(), b.begin(), b.end());
            starts.push_back(bytes.size());
        }
        std::span<const uint8_t> At(std::size_t i) const {
            return std::span(bytes).subspan(starts[i], starts[i + 1] - starts[i]);
        }
        bool Equals(std::size_t i, const std::vector<uint8_t>& other) const {
            const auto mine = At(i);
            return mine.size() == other.size() &&
                   (mine.empty() || std::memcmp(mine.data(), other.data(), mine.size()) == 0);
        }
    };

    bool InflatedSizesDiffer(const Pair& pair) {
        PakEntry a;
        PakEntry b;
        return !m_older.GetEntry(IndexOf(pair.oldNode), a) ||
               !m_newer.GetEntry(IndexOf(pair.newNode), b) || a.inflatedSize != b.inflatedSize;
    }

    IPakMgr& m_older;
    IPakMgr& m_newer;
    std::vector<uint32_t> m_indices;
    Stored m_old;
    Stored m_new;
    std::vector<std::size_t> m_differing;
    std::vector<uint8_t> m_before;
    std::vector<uint8_t> m_after;
};

// Sets two folders side by side, child by child in name order: files only one of them
// holds are added or removed (a whole folder's files at once), files both hold are paired.
class TreeWalk {
public:
    TreeWalk(Comparison& result, std::vector<Pair>& pairs) : m_result(result), m_pairs(pairs) {}

    void Folders(ITreeNode* before, ITreeNode* after) {
        const std::vector<Named> old = SortedChildren(before);
        const std::vector<Named> now = SortedChildren(after);
        auto a = old.begin();
        auto b = now.begin();
        while (a != old.end() || b != now.end()) {
            if (b == now.end() || (a != old.end() && a->first < b->first)) {
                All(Change::kRemoved, (a++)->second);
            } else if (a == old.end() || b->first < a->first) {
                All(Change::kAdded, (b++)->second);
            } else {
                Both(a->second, b->second);
                ++a;
                ++b;
            }
        }
    }

private:
    void Both(ITreeNode* before, ITreeNode* after) {
        const bool oldFolder = before->GetChildCount() > 0;
        const bool newFolder = after->GetChildCount() > 0;
        if (!oldFolder && !newFolder) {
            m_pairs.push_back({before, after});
        } else if (oldFolder && newFolder) {
            Folders(before, after);
        } else {
            All(Change::kRemoved, before);
            All(Change::kAdded, after);
        }
    }

    // Every file at or below `node`.
    void All(Change::Kind kind, ITreeNode* node) {
        if (node->GetChildCount() > 0) {
            for (const Named& child : SortedChildren(node)) {
                All(kind, child.second);
            }
            return;
        }
        const bool added = kind == Change::kAdded;
        m_result.changes.push_back(
            {kind, NodePath(node, '\\'), added ? nullptr : node, added ? node : nullptr});
    }

    Comparison& m_result;
    std::vector<Pair>& m_pairs;
};

}  // namespace

std::vector<uint32_t> Records(IPakMgr& mgr, ITreeNode* node) {
    std::vector<uint32_t> records;
    if (!node || node->GetIndex() < 0 || node->GetChildCount() > 0) {
        return records;
    }
    // The node reads the first entry that ended at it: list order puts the winner first.
    const uint32_t count = mgr.GetFileCount();
    for (uint32_t i = 0; i < count; ++i) {
        if (mgr.GetEntryNode(i) == node) {
            records.push_back(i);
        }
    }
    return records;
}

std::string RecordLine(uint32_t index, const PakEntry& entry) {
    std::string line;
    PutNumber(line, index);
    for (const uint32_t value : {entry.inflatedSize, entry.storedSize, entry.offset}) {
        line += '\t';
        PutNumber(line, value);
    }
    line += '\t';
    line += Base::GbkToUtf8(entry.pakPath.substr(entry.pakPath.find_last_of('/') + 1));
    line += '\t';
    line += Base::GbkToUtf8(entry.name);
    line += '\n';
    return line;
}

struct CompareJob::Impl {
    Impl(IPakMgr& o, IPakMgr& n) : older(o), newer(n) {}
    IPakMgr& older;
    IPakMgr& newer;
    Comparison walked;                   // the added and removed paths
    std::vector<Pair> pairs;             // the common paths, in the older game's entry order
    std::vector<std::size_t> starts{0};  // part p is pairs[starts[p], starts[p + 1])

    uint64_t StoredSize(IPakMgr& mgr, ITreeNode* node) {
        PakEntry entry;
        return mgr.GetEntry(IndexOf(node), entry) ? entry.storedSize : 0;
    }

    // Cuts the pairs into parts of at most kPartStoredBytes of both games' stored bytes.
    void Cut() {
        uint64_t held = 0;
        for (std::size_t i = 0; i < pairs.size(); ++i) {
            const uint64_t bytes =
                StoredSize(older, pairs[i].oldNode) + StoredSize(newer, pairs[i].newNode);
            const std::size_t inPart = i - starts.back();
            if (inPart > 0 && (held + bytes > kPartStoredBytes || inPart == kMostPairsPerPart)) {
                starts.push_back(i);
                held = 0;
            }
            held += bytes;
        }
        if (!pairs.empty()) {
            starts.push_back(pairs.size());
        }
    }

    std::span<Pair> Part(std::size_t part) {
        return std::span(pairs).subspan(starts[part], starts[part + 1] - starts[part]);
    }
};

CompareJob::CompareJob(IPakMgr& older, IPakMgr& newer)
    : m_impl(std::make_unique<Impl>(older, newer)) {
    m_impl->pairs.reserve(older.GetFileCount());
    TreeWalk(m_impl->walked, m_impl->pairs).Folders(older.GetRoot(), newer.GetRoot());
    // In the older game's entry order, so that stored bytes are read front to back.
    std::sort(m_impl->pairs.begin(), m_impl->pairs.end(),
              [](const Pair& x, const Pair& y) { return IndexOf(x.oldNode) < IndexOf(y.oldNode); });
    m_impl->Cut();
}

CompareJob::~CompareJob() = default;

std::size_t CompareJob::Parts() const {
    return m_impl->starts.size() - 1;
}

std::size_t CompareJob::CommonFiles() const {
    return m_impl->pairs.size();
}

std::size_t CompareJob::FilesOf(std::size_t part) const {
    return m_impl->starts[part + 1] - m_impl->starts[part];
}

void CompareJob::Run(std::size_t part) {
    // Its buffers go with the part: a worker keeps nothing between parts.
    SliceCompare(m_impl->older, m_impl->newer).Run(m_impl->Part(part));
}

void CompareJob::Failed(std::size_t part) {
    for (Pair& pair : m_impl->Part(part)) {
        pair.outcome = Pair::kUnreadable;
    }
}

Comparison CompareJob::Result() const {
    Comparison result = m_impl->walked;
    std::vector<Change> unreadable;
    for (const Pair& pair : m_impl->pairs) {
        if (pair.outcome == Pair::kSame) {
            ++result.unchanged;
            continue;
        }
        auto& list = pair.outcome == Pair::kDiffer ? result.changes : unreadable;
        list.push_back(
            {Change::kChanged, NodePath(pair.newNode, '\\'), pair.oldNode, pair.newNode});
    }
    std::sort(unreadable.begin(), unreadable.end(),
              [](const Change& x, const Change& y) { return x.path < y.path; });
    for (const Change& change : unreadable) {
        result.unreadable.push_back(change.newNode);
    }
    std::sort(result.changes.begin(), result.changes.end(),
              [](const Change& x, const Change& y) { return x.path < y.path; });
    return result;
}

Comparison Compare(IPakMgr& older, IPakMgr& newer, const CompareProgress& progress) {
    CompareJob job(older, newer);
    std::mutex progressLock;
    std::size_t done = 0;
    const auto failures = Base::ForEachIndex(
        job.Parts(), std::min(Base::DefaultWorkers(), kMostWorkers), [&](std::size_t part) {
            job.Run(part);
            // One call at a time and in order, so that the last one says the total.
            const std::scoped_lock lock(progressLock);
            done += job.FilesOf(part);
            if (progress) {
                progress(done, job.CommonFiles());
            }
        });
    for (const Base::Failure& failure : failures) {
        job.Failed(failure.index);
    }
    if (progress && done < job.CommonFiles()) {
        progress(job.CommonFiles(), job.CommonFiles());
    }
    return job.Result();
}

}  // namespace PakMgr
