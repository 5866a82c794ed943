// The archive tree as an item model: children are read from the node tree when a folder is
// first shown and sorted by name; names are shown converted from code page 936. A filter
// narrows the tree to the files whose names contain a text or match a pattern (NameFilter.h),
// with their folders.
#pragma once

#include <QAbstractItemModel>
#include <QIcon>
#include <deque>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace PakMgr {
struct IPakMgr;
struct ITreeNode;
}  // namespace PakMgr

namespace App {

class NameFilter;

class CTreeModel final : public QAbstractItemModel {
    Q_OBJECT
public:
    struct Item;

    explicit CTreeModel(QObject* parent = nullptr);
    ~CTreeModel() override;

    // What a comparison found of a file of this tree against another game.
    enum class Mark : char { None, Added = '+', Changed = 'M' };
    // The data role that gives a file's mark as a string: "+", "M" or empty.
    static constexpr int kMarkRole = Qt::UserRole + 1;

    // Shows the tree below `root` (not the root itself); null empties the model. With the
    // manager that built it, tool tips name each file's archive and the copies it overrides.
    void SetRoot(PakMgr::ITreeNode* root, PakMgr::IPakMgr* mgr = nullptr);
    // Forgets every item. Call before the nodes they refer to are destroyed.
    void Clear();

    PakMgr::ITreeNode* NodeAt(const QModelIndex& index) const;
    Item* ItemAt(const QModelIndex& index) const;
    QModelIndex IndexOf(Item* item) const;
    // The node's index, its folders read on the way; invalid when the filter hides it.
    QModelIndex IndexOfNode(PakMgr::ITreeNode* node) const;
    // An item has children when its node has; such an item is a folder.
    bool IsFolder(const QModelIndex& index) const;

    // Case-insensitive part of a name as shown, or a pattern of names and folders; empty
    // shows the whole tree again. Returns the number of files that match (0 when the filter
    // is empty).
    std::size_t SetFilter(const QString& text);
    bool Filtering() const { return m_filtering; }
    // Narrows the tree (with the text filter) to files that override copies in other
    // archives; takes effect at the next SetFilter.
    void SetOverriddenOnly(bool on) { m_overriddenOnly = on; }
    // Narrows the tree (with the text filter) to the files a comparison marked; takes
    // effect at the next SetFilter.
    void SetMarkedOnly(bool on) { m_markedOnly = on; }
    // How many files the tree holds: paths, however many records hold each.
    std::size_t FileCount() const { return m_files; }
    // How many records of the archives hold the node's path (1 for most files).
    uint32_t Records(const PakMgr::ITreeNode* node) const;

    // Marks files added or changed since another game, and the folders that hold them as
    // changed; an empty map clears the marks.
    void SetMarks(std::unordered_map<const PakMgr::ITreeNode*, Mark> marks);
    Mark MarkOf(const PakMgr::ITreeNode* node) const;
    bool HasMarks() const { return !m_marks.empty(); }

    // Reads the children of a few more folders ahead of need, so that the filter's first
    // keystroke finds every name ready; true once every folder is read.
    bool PrepareSome(std::size_t folders);

    // Every folder item made so far, parents before children.
    std::vector<Item*> Folders() const;

    QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    bool hasChildren(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;

private:
    Item* ItemOrRoot(const QModelIndex& index) const;
    const std::vector<Item*>& Rows(Item* item) const;
    void BuildChildren(Item* item) const;
    void BuildAll() const;
    // Whether a file's item passes the filter and the switches.
    bool Passes(const Item& item, const NameFilter& filter,
                std::vector<std::string_view>& folders) const;
    QString ToolTip(const Item& item) const;

    mutable std::deque<Item> m_items;  // stable addresses; [0] is the root
    bool m_filtering = false;
    bool m_overriddenOnly = false;
    bool m_markedOnly = false;
    PakMgr::IPakMgr* m_mgr = nullptr;
    // Files whose path more than one record holds, with the count.
    std::unordered_map<const PakMgr::ITreeNode*, uint32_t> m_records;
    std::size_t m_files = 0;
    std::unordered_map<const PakMgr::ITreeNode*, Mark> m_marks;  // files and their folders
    mutable bool m_allBuilt = false;
    std::size_t m_prepared = 0;  // items before this one have their children read
    QIcon m_folderIcon;
    QIcon m_fileIcon;
};

struct CTreeModel::Item {
    PakMgr::ITreeNode* node = nullptr;
    Item* parent = nullptr;
    std::string name;   // UTF-8, as shown
    std::string lower;  // name with ASCII letters lowered, for filtering
    bool folder = false;
    bool built = false;
    bool visible = true;  // matches the filter or holds a match
    int row = 0;          // in the parent's children
    int shownRow = 0;     // in the parent's filtered children
    std::vector<Item*> children;
    std::vector<Item*> shown;
};

}  // namespace App
