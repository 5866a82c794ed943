// Where a path's copies lie, and what differs between two games' merged trees.
#include <algorithm>
#include <atomic>
#include <charconv>
#include <cstring>
#include <mutex>
#include <system_error>
#include <thread>

#include "base/text.h"
#include "pakmgr/pakmgr.h"

namespace PakMgr {

namespace {

// Pairs are compared in slices of this many: one slice's stored bytes are held at a time.
constexpr std::size_t kPairsPerSlice = 256;
constexpr unsigned kMostWorkers = 8;

// Runs `work` on the calling thread and up to kMostWorkers - 1 more; fewer when threads
// can't be made.
void RunWorkers(const std::function<void()>& work) {
    const unsigned wanted = std::clamp(std::thread::hardware_concurrency(), 1u, kMostWorkers);
    std::vector<std::thread> threads;
    for (unsigned t = 1; t < wanted; ++t) {
        try {
            threads.emplace_back(work);
        } catch (const std::system_error&) {
            break;
        }
    }
    work();
    for (std::thread& thread : threads) {
        thread.join();
    }
}

void PutNumber(std::string& line, uint64_t value) {
    char digits[24];
    const auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
    line.append(digits, end);
}

struct Leaf {
    std::string path;  // archive bytes, '\' between components
    ITreeNode* node;
};

void CollectLeaves(ITreeNode* node, std::string& prefix, std::vector<Leaf>& leaves) {
    struct Children final : ITreeVisitor {
        std::vector<ITreeNode*> nodes;
        void Visit(ITreeNode* child) override { nodes.push_back(child); }
    } children;
    node->ForEachChild(&children);
    for (ITreeNode* child : children.nodes) {
        const std::size_t length = prefix.size();
        if (!prefix.empty()) {
            prefix += '\\';
        }
        prefix += child->Name();
        if (child->GetChildCount() == 0) {
            leaves.push_back({prefix, child});
        } else {
            CollectLeaves(child, prefix, leaves);
        }
        prefix.resize(length);
    }
}

std::vector<Leaf> Leaves(IPakMgr& mgr) {
    std::vector<Leaf> leaves;
    std::string prefix;
    CollectLeaves(mgr.GetRoot(), prefix, leaves);
    std::sort(leaves.begin(), leaves.end(),
              [](const Leaf& a, const Leaf& b) { return a.path < b.path; });
    return leaves;
}

uint32_t IndexOf(ITreeNode* node) {
    return static_cast<uint32_t>(node->GetIndex());
}

// One slice of the paths both games hold: which of them differ, and which can't be read.
class SliceCompare {
public:
    SliceCompare(IPakMgr& older, IPakMgr& newer) : m_older(older), m_newer(newer) {}

    // Marks differing[i] for each pair whose inflated bytes differ; the paths' positions
    // that can't be read go to `unreadable`.
    void Run(std::span<const std::pair<ITreeNode*, ITreeNode*>> pairs, std::vector<char>& differing,
             std::vector<std::size_t>& unreadable) {
        Gather(pairs, false);
        std::vector<std::size_t> inflate;
        bool ok = true;
        m_newer.LoadStoredEntries(m_indices, [&](std::size_t i, bool read, const auto& bytes) {
            ok = read && m_ok[i];
            if (!ok) {
                unreadable.push_back(i);
            } else if (!Same(i, bytes) || InflatedSizesDiffer(pairs[i])) {
                inflate.push_back(i);
            }
        });
        if (inflate.empty()) {
            return;
        }
        std::vector<std::pair<ITreeNode*, ITreeNode*>> changed;
        for (std::size_t i : inflate) {
            changed.push_back(pairs[i]);
        }
        Gather(changed, true);
        m_newer.LoadEntries(m_indices, [&](std::size_t k, bool read, const auto& bytes) {
            if (!read || !m_ok[k]) {
                unreadable.push_back(inflate[k]);
            } else if (!Same(k, bytes)) {
                differing[inflate[k]] = 1;
            }
        });
    }

private:
    // Reads the older game's bytes (stored or inflated) of every pair into one buffer, and
    // sets the newer game's indices ready to read.
    void Gather(std::span<const std::pair<ITreeNode*, ITreeNode*>> pairs, bool inflated) {
        m_indices.clear();
        m_bytes.clear();
        m_starts.assign(1, 0);
        m_ok.clear();
        for (const auto& pair : pairs) {
            m_indices.push_back(IndexOf(pair.first));
        }
        const auto keep = [&](std::size_t, bool read, const std::vector<uint8_t>& bytes) {
            m_ok.push_back(read);
            m_bytes.insert(m_bytes.end(), bytes.begin(), bytes.end());
            m_starts.push_back(m_bytes.size());
        };
        if (inflated) {
            m_older.LoadEntries(m_indices, keep);
        } else {
            m_older.LoadStoredEntries(m_indices, keep);
        }
        for (std::size_t i = 0; i < pairs.size(); ++i) {
            m_indices[i] = IndexOf(pairs[i].second);
        }
    }

    bool Same(std::size_t i, const std::vector<uint8_t>& bytes) const {
        const std::size_t size = m_starts[i + 1] - m_starts[i];
        return size == bytes.size() &&
               (size == 0 || std::memcmp(m_bytes.data() + m_starts[i], bytes.data(), size) == 0);
    }

    bool InflatedSizesDiffer(const std::pair<ITreeNode*, ITreeNode*>& pair) {
        PakEntry a;
        PakEntry b;
        return !m_older.GetEntry(IndexOf(pair.first), a) ||
               !m_newer.GetEntry(IndexOf(pair.second), b) || a.inflatedSize != b.inflatedSize;
    }

    IPakMgr& m_older;
    IPakMgr& m_newer;
    std::vector<uint32_t> m_indices;
    std::vector<uint8_t> m_bytes;
    std::vector<std::size_t> m_starts;
    std::vector<char> m_ok;
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

Comparison Compare(IPakMgr& older, IPakMgr& newer, const CompareProgress& progress) {
    const std::vector<Leaf> before = Leaves(older);
    const std::vector<Leaf> after = Leaves(newer);
    Comparison result;
    std::vector<std::pair<ITreeNode*, ITreeNode*>> pairs;
    std::vector<const std::string*> pairPaths;
    auto a = before.begin();
    auto b = after.begin();
    while (a != before.end() || b != after.end()) {
        if (b == after.end() || (a != before.end() && a->path < b->path)) {
            result.changes.push_back({Change::kRemoved, a->path, a->node, nullptr});
            ++a;
        } else if (a == before.end() || b->path < a->path) {
            result.changes.push_back({Change::kAdded, b->path, nullptr, b->node});
            ++b;
        } else {
            pairs.emplace_back(a->node, b->node);
            pairPaths.push_back(&a->path);
            ++a;
            ++b;
        }
    }
    // In the older game's entry order, so that stored bytes are read front to back.
    std::vector<std::size_t> order(pairs.size());
    for (std::size_t i = 0; i < order.size(); ++i) {
        order[i] = i;
    }
    std::sort(order.begin(), order.end(), [&](std::size_t x, std::size_t y) {
        return IndexOf(pairs[x].first) < IndexOf(pairs[y].first);
    });
    std::vector<std::pair<ITreeNode*, ITreeNode*>> sorted;
    sorted.reserve(pairs.size());
    for (std::size_t i : order) {
        sorted.push_back(pairs[i]);
    }

    std::vector<char> differing(sorted.size(), 0);
    std::vector<std::size_t> unreadable;
    std::mutex unreadableMutex;
    const std::size_t slices = (sorted.size() + kPairsPerSlice - 1) / kPairsPerSlice;
    std::atomic<std::size_t> next{0};
    std::atomic<std::size_t> done{0};
    auto worker = [&] {
        SliceCompare compare(older, newer);
        std::vector<char> slice;
        std::vector<std::size_t> lost;
        for (std::size_t s; (s = next++) < slices;) {
            const std::size_t first = s * kPairsPerSlice;
            const std::size_t count = std::min(kPairsPerSlice, sorted.size() - first);
            slice.assign(count, 0);
            lost.clear();
            compare.Run(std::span(sorted).subspan(first, count), slice, lost);
            std::copy(slice.begin(), slice.end(), differing.begin() + std::ptrdiff_t(first));
            if (!lost.empty()) {
                std::lock_guard lock(unreadableMutex);
                for (std::size_t i : lost) {
                    unreadable.push_back(first + i);
                }
            }
            const std::size_t total = done += count;
            if (progress) {
                progress(total, sorted.size());
            }
        }
    };
    RunWorkers(worker);
    for (std::size_t i = 0; i < sorted.size(); ++i) {
        const std::string& path = *pairPaths[order[i]];
        if (differing[i]) {
            result.changes.push_back({Change::kChanged, path, sorted[i].first, sorted[i].second});
        }
    }
    for (std::size_t i : unreadable) {
        result.unreadable.push_back(*pairPaths[order[i]]);
    }
    std::sort(result.unreadable.begin(), result.unreadable.end());
    result.unchanged = sorted.size() - result.unreadable.size() -
                       std::size_t(std::count(differing.begin(), differing.end(), 1));
    std::sort(result.changes.begin(), result.changes.end(),
              [](const Change& x, const Change& y) { return x.path < y.path; });
    return result;
}

}  // namespace PakMgr
