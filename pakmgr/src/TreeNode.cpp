#include "TreeNode.h"

#include <cstring>

namespace PakMgr {

std::string_view NameArena::Add(std::string_view bytes) {
    if (bytes.empty()) {
        return {};
    }
    if (m_blockCapacity - m_blockUsed < bytes.size()) {
        m_blockCapacity = std::max(kBlockSize, bytes.size());
        m_blocks.push_back(std::make_unique_for_overwrite<char[]>(m_blockCapacity));
        m_blockUsed = 0;
    }
    char* dst = m_blocks.back().get() + m_blockUsed;
    std::memcpy(dst, bytes.data(), bytes.size());
    m_blockUsed += bytes.size();
    m_used += bytes.size();
    return {dst, bytes.size()};
}

void CTreeNode::ForEachChild(ITreeVisitor* visitor) {
    for (auto& child : m_children) {
        visitor->Visit(child.get());
    }
}

CTreeNode* CTreeNode::FindChildView(std::string_view name) const {
    for (auto& child : m_children) {
        if (child->m_name == name) {
            return child.get();
        }
    }
    return nullptr;
}

ITreeNode* CTreeNode::FindChild(const std::string& name) {
    return FindChildView(name);
}

ITreeNode* CTreeNode::FindNode(const std::string& name) {
    if (ITreeNode* direct = FindChildView(name)) {
        return direct;
    }
    for (auto& child : m_children) {
        if (ITreeNode* found = child->FindNode(name)) {
            return found;
        }
    }
    return nullptr;
}

void CTreeNode::Reset(std::string_view name, int32_t index) {
    m_children.clear();
    m_name = name;
    m_parent = nullptr;
    m_index = index;
}

CTreeNode* CTreeNode::AddChild(std::string_view name, int32_t index) {
    m_children.push_back(std::make_unique<CTreeNode>(name, this, index));
    return m_children.back().get();
}

TreeBuilder::TreeBuilder(CTreeNode& root, std::size_t expectedNodes) : m_root(root) {
    std::size_t capacity = 1024;
    while (capacity < expectedNodes * 2) {
        capacity *= 2;
    }
    m_slots.assign(capacity, nullptr);
}

std::size_t TreeBuilder::Hash(const CTreeNode* parent, std::string_view name) {
    // FNV-1a over the name, mixed with the parent's address.
    uint64_t h = 1469598103934665603ull ^ reinterpret_cast<uintptr_t>(parent);
    for (unsigned char c : name) {
        h = (h ^ c) * 1099511628211ull;
    }
    return static_cast<std::size_t>(h ^ (h >> 29));
}

void TreeBuilder::Grow() {
    std::vector<CTreeNode*> old(m_slots.size() * 2, nullptr);
    old.swap(m_slots);
    std::size_t mask = m_slots.size() - 1;
    for (CTreeNode* node : old) {
        if (node) {
            std::size_t i =
                Hash(node->GetParent() ? static_cast<CTreeNode*>(node->GetParent()) : nullptr,
                     node->Name()) &
                mask;
            while (m_slots[i]) {
                i = (i + 1) & mask;
            }
            m_slots[i] = node;
        }
    }
}

CTreeNode* TreeBuilder::Child(CTreeNode* parent, std::string_view name, int32_t index) {
    std::size_t mask = m_slots.size() - 1;
    std::size_t i = Hash(parent, name) & mask;
    for (; m_slots[i]; i = (i + 1) & mask) {
        CTreeNode* node = m_slots[i];
        if (node->GetParent() == parent && node->Name() == name) {
            return node;
        }
    }
    CTreeNode* node = parent->AddChild(name, index);
    m_slots[i] = node;
    if (++m_count * 2 > m_slots.size()) {
        Grow();
    }
    return node;
}

CTreeNode* TreeBuilder::Insert(std::string_view path, int32_t index) {
    // Components are cut at every '\'; empty components are kept, so "\a\\b" gives a
    // folder "a" holding an empty-named folder holding "b".
    CTreeNode* current = &m_root;
    std::size_t s = path.find('\\');
    if (s == std::string_view::npos) {
        // Every stored path begins with a separator; without one the path is one component.
        return Child(current, path, index);
    }
    while (true) {
        std::size_t e = path.find('\\', s + 1);
        std::string_view component =
            path.substr(s + 1, e == std::string_view::npos ? std::string_view::npos : e - s - 1);
        current = Child(current, component, index);
        if (e == std::string_view::npos) {
            return current;
        }
        s = e;
    }
}

namespace {
void Visit(CTreeNode* node, void* parentItem, ITreeCtrl* ctrl) {
    void* item = ctrl->InsertNode(node, parentItem, node->Children().empty());
    ctrl->SetNodeData(item, node);
    for (auto& child : node->Children()) {
        Visit(child.get(), item, ctrl);
    }
}
}  // namespace

void WalkTree(CTreeNode& root, ITreeCtrl* ctrl) {
    for (auto& child : root.Children()) {
        Visit(child.get(), nullptr, ctrl);
    }
}

}  // namespace PakMgr
