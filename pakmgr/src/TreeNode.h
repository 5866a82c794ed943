#pragma once

#include <memory>
#include <string_view>
#include <vector>

#include "pakmgr/pakmgr.h"

namespace PakMgr {

// Append-only byte storage whose views stay valid for the arena's whole life.
class NameArena {
public:
    std::string_view Add(std::string_view bytes);
    std::size_t Bytes() const { return m_used; }

private:
    static constexpr std::size_t kBlockSize = 1 << 20;
    std::vector<std::unique_ptr<char[]>> m_blocks;
    std::size_t m_blockUsed = kBlockSize;
    std::size_t m_blockCapacity = kBlockSize;
    std::size_t m_used = 0;
};

class CTreeNode final : public ITreeNode {
public:
    CTreeNode() = default;
    CTreeNode(std::string_view name, CTreeNode* parent, int32_t index)
        : m_name(name), m_parent(parent), m_index(index) {}

    std::string GetName() override { return std::string(m_name); }
    int32_t GetIndex() override { return m_index; }
    uint32_t GetChildCount() override { return static_cast<uint32_t>(m_children.size()); }
    void ForEachChild(ITreeVisitor* visitor) override;
    ITreeNode* GetParent() override { return m_parent; }
    ITreeNode* FindChild(const std::string& name) override;
    ITreeNode* FindNode(const std::string& name) override;
    std::string_view Name() const override { return m_name; }

    // The name must outlive the node (it lives in the tree's arena).
    void Reset(std::string_view name, int32_t index);
    CTreeNode* AddChild(std::string_view name, int32_t index);
    CTreeNode* FindChildView(std::string_view name) const;
    const std::vector<std::unique_ptr<CTreeNode>>& Children() const { return m_children; }

private:
    std::string_view m_name;
    CTreeNode* m_parent = nullptr;
    int32_t m_index = 0;
    std::vector<std::unique_ptr<CTreeNode>> m_children;
};

// Builds the merged tree from backslash paths, one node per distinct path.
class TreeBuilder {
public:
    explicit TreeBuilder(CTreeNode& root, std::size_t expectedNodes);
    // Returns the node the path ends at.
    CTreeNode* Insert(std::string_view path, int32_t index);

private:
    CTreeNode* Child(CTreeNode* parent, std::string_view name, int32_t index);
    void Grow();
    static std::size_t Hash(const CTreeNode* parent, std::string_view name);

    CTreeNode& m_root;
    // Open-addressing table of every node made or found, keyed by (parent, name): lookups
    // stay constant however many children a folder has.
    std::vector<CTreeNode*> m_slots;
    std::size_t m_count = 0;
};

void WalkTree(CTreeNode& root, ITreeCtrl* ctrl);

}  // namespace PakMgr
