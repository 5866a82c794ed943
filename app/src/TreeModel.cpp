#include "TreeModel.h"

#include <algorithm>

#include <QBrush>

#include "NameFilter.h"
#include "base/text.h"
#include "pakmgr/pakmgr.h"

namespace App {

namespace {

constexpr QRgb kAddedColour = 0x1E8C2E;
constexpr QRgb kChangedColour = 0x1F5FD0;

QIcon MakeIcon(const char* normal, const char* selected) {
    QIcon icon(normal);
    icon.addFile(selected, {}, QIcon::Selected);
    return icon;
}

}  // namespace

CTreeModel::CTreeModel(QObject* parent)
    : QAbstractItemModel(parent),
      m_folderIcon(MakeIcon(":/icons/folder.png", ":/icons/folder_open.png")),
      m_fileIcon(MakeIcon(":/icons/file.png", ":/icons/file_selected.png")) {
    m_items.emplace_back();
}

CTreeModel::~CTreeModel() = default;

void CTreeModel::Clear() {
    SetRoot(nullptr);
}

void CTreeModel::SetRoot(PakMgr::ITreeNode* root, PakMgr::IPakMgr* mgr) {
    beginResetModel();
    m_mgr = root ? mgr : nullptr;
    m_records.clear();
    m_marks.clear();
    m_files = 0;
    if (m_mgr) {
        const uint32_t count = m_mgr->GetFileCount();
        for (uint32_t i = 0; i < count; ++i) {
            ++m_records[m_mgr->GetEntryNode(i)];
        }
        m_files = m_records.size();
        std::erase_if(m_records, [](const auto& r) { return r.second < 2; });
    }
    m_items.clear();
    m_items.emplace_back();
    m_items.front().node = root;
    m_items.front().folder = root != nullptr;
    m_filtering = false;
    m_allBuilt = false;
    m_prepared = 0;
    endResetModel();
}

void CTreeModel::BuildChildren(Item* item) const {
    if (item->built) {
        return;
    }
    item->built = true;
    if (!item->node) {
        return;
    }
    std::vector<PakMgr::ITreeNode*> nodes;
    PakMgr::ForEachChild(item->node, [&](PakMgr::ITreeNode* child) { nodes.push_back(child); });
    std::vector<Item> made(nodes.size());
    for (std::size_t i = 0; i < made.size(); ++i) {
        PakMgr::ITreeNode* node = nodes[i];
        made[i].node = node;
        made[i].parent = item;
        made[i].name = Base::GbkToUtf8(node->Name());
        made[i].lower = Base::GbkToUtf8(Base::LowerAscii(node->Name()));
        made[i].folder = node->GetChildCount() > 0;
    }
    std::sort(made.begin(), made.end(), [](const Item& a, const Item& b) {
        return a.lower != b.lower ? a.lower < b.lower : a.name < b.name;
    });
    item->children.reserve(made.size());
    for (Item& m : made) {
        m.row = static_cast<int>(item->children.size());
        m_items.push_back(std::move(m));
        item->children.push_back(&m_items.back());
    }
}

void CTreeModel::BuildAll() const {
    if (m_allBuilt) {
        return;
    }
    // Children are appended behind their parents, so one pass reaches every item.
    for (std::size_t i = 0; i < m_items.size(); ++i) {
        if (m_items[i].folder) {
            BuildChildren(&m_items[i]);
        }
    }
    m_allBuilt = true;
}

bool CTreeModel::PrepareSome(std::size_t folders) {
    for (; m_prepared < m_items.size() && folders > 0 && !m_allBuilt; ++m_prepared) {
        Item& item = m_items[m_prepared];
        if (item.folder && !item.built) {
            BuildChildren(&item);
            --folders;
        }
    }
    if (m_prepared >= m_items.size()) {
        m_allBuilt = true;
    }
    return m_allBuilt;
}

uint32_t CTreeModel::Records(const PakMgr::ITreeNode* node) const {
    const auto found = m_records.find(node);
    return found != m_records.end() ? found->second : 1;
}

void CTreeModel::SetMarks(std::unordered_map<const PakMgr::ITreeNode*, Mark> marks) {
    m_marks = std::move(marks);
    // A folder holding a marked file is changed itself; the root is no row.
    std::vector<const PakMgr::ITreeNode*> files;
    for (const auto& [node, mark] : m_marks) {
        files.push_back(node);
    }
    for (const PakMgr::ITreeNode* file : files) {
        for (PakMgr::ITreeNode* p = const_cast<PakMgr::ITreeNode*>(file)->GetParent();
             p && p->GetParent() && m_marks.emplace(p, Mark::Changed).second; p = p->GetParent()) {
        }
    }
    // Every row may change its colour.
    Q_EMIT layoutChanged();
}

CTreeModel::Mark CTreeModel::MarkOf(const PakMgr::ITreeNode* node) const {
    const auto found = m_marks.find(node);
    return found != m_marks.end() ? found->second : Mark::None;
}

bool CTreeModel::Passes(const Item& item, const NameFilter& filter,
                        std::vector<std::string_view>& folders) const {
    if (item.folder || !filter.MatchesName(item.lower) ||
        (m_overriddenOnly && Records(item.node) < 2) ||
        (m_markedOnly && MarkOf(item.node) == Mark::None)) {
        return false;
    }
    if (!filter.NeedsFolders()) {
        return true;
    }
    folders.clear();
    for (const Item* p = item.parent; p && p->parent; p = p->parent) {
        folders.emplace_back(p->lower);
    }
    return filter.MatchesFolders(folders);
}

std::size_t CTreeModel::SetFilter(const QString& text) {
    // Folded as the names are; compared in UTF-8, where no match starts inside a character.
    const NameFilter filter(Base::GbkToUtf8(Base::LowerAscii(Base::Utf8ToGbk(text.toStdString()))));
    const bool narrowed = !filter.Empty() || m_overriddenOnly || m_markedOnly;
    if (!narrowed && !m_filtering) {
        return 0;
    }
    beginResetModel();
    std::size_t matches = 0;
    m_filtering = narrowed;
    if (m_filtering) {
        BuildAll();
        for (Item& item : m_items) {
            item.visible = false;
            item.shown.clear();
        }
        std::vector<std::string_view> folders;
        for (Item& item : m_items) {
            if (!Passes(item, filter, folders)) {
                continue;
            }
            ++matches;
            for (Item* p = &item; p && !p->visible; p = p->parent) {
                p->visible = true;
            }
        }
        // Items were made in sorted runs per parent, so this keeps every list sorted.
        for (std::size_t i = 1; i < m_items.size(); ++i) {
            Item& item = m_items[i];
            if (item.visible) {
                item.shownRow = static_cast<int>(item.parent->shown.size());
                item.parent->shown.push_back(&item);
            }
        }
    }
    endResetModel();
    return matches;
}

std::vector<CTreeModel::Item*> CTreeModel::Folders() const {
    std::vector<Item*> folders;
    for (std::size_t i = 1; i < m_items.size(); ++i) {
        if (m_items[i].folder) {
            folders.push_back(&m_items[i]);
        }
    }
    return folders;
}

CTreeModel::Item* CTreeModel::ItemAt(const QModelIndex& index) const {
    return index.isValid() ? static_cast<Item*>(index.internalPointer()) : nullptr;
}

CTreeModel::Item* CTreeModel::ItemOrRoot(const QModelIndex& index) const {
    return index.isValid() ? static_cast<Item*>(index.internalPointer()) : &m_items.front();
}

PakMgr::ITreeNode* CTreeModel::NodeAt(const QModelIndex& index) const {
    Item* item = ItemAt(index);
    return item ? item->node : nullptr;
}

bool CTreeModel::IsFolder(const QModelIndex& index) const {
    Item* item = ItemAt(index);
    return item && item->folder;
}

const std::vector<CTreeModel::Item*>& CTreeModel::Rows(Item* item) const {
    if (m_filtering) {
        return item->shown;
    }
    BuildChildren(item);
    return item->children;
}

QModelIndex CTreeModel::IndexOf(Item* item) const {
    if (!item || item == &m_items.front() || (m_filtering && !item->visible)) {
        return {};
    }
    return createIndex(m_filtering ? item->shownRow : item->row, 0, item);
}

QModelIndex CTreeModel::IndexOfNode(PakMgr::ITreeNode* node) const {
    std::vector<PakMgr::ITreeNode*> path;
    for (PakMgr::ITreeNode* n = node; n && n != m_items.front().node; n = n->GetParent()) {
        path.push_back(n);
    }
    Item* item = &m_items.front();
    for (auto it = path.rbegin(); it != path.rend() && item; ++it) {
        BuildChildren(item);
        const auto found = std::find_if(item->children.begin(), item->children.end(),
                                        [&](const Item* child) { return child->node == *it; });
        item = found != item->children.end() ? *found : nullptr;
    }
    return item && item != &m_items.front() ? IndexOf(item) : QModelIndex();
}

QModelIndex CTreeModel::index(int row, int column, const QModelIndex& parent) const {
    const auto& rows = Rows(ItemOrRoot(parent));
    if (column != 0 || row < 0 || row >= static_cast<int>(rows.size())) {
        return {};
    }
    return createIndex(row, 0, rows[static_cast<std::size_t>(row)]);
}

QModelIndex CTreeModel::parent(const QModelIndex& child) const {
    Item* item = ItemAt(child);
    return item ? IndexOf(item->parent) : QModelIndex();
}

int CTreeModel::rowCount(const QModelIndex& parent) const {
    if (parent.column() > 0) {
        return 0;
    }
    Item* item = ItemOrRoot(parent);
    if (!item->folder) {
        return 0;
    }
    return static_cast<int>(Rows(item).size());
}

int CTreeModel::columnCount(const QModelIndex&) const {
    return 1;
}

bool CTreeModel::hasChildren(const QModelIndex& parent) const {
    Item* item = ItemOrRoot(parent);
    return m_filtering ? !item->shown.empty() : item->folder;
}

QVariant CTreeModel::data(const QModelIndex& index, int role) const {
    Item* item = ItemAt(index);
    if (!item) {
        return {};
    }
    switch (role) {
        case Qt::DisplayRole:
            return QString::fromStdString(item->name);
        case Qt::DecorationRole:
            return item->folder ? m_folderIcon : m_fileIcon;
        case Qt::UserRole:
            return QVariant::fromValue(static_cast<void*>(item->node));
        case Qt::ToolTipRole:
            return ToolTip(*item);
        case Qt::ForegroundRole:
            switch (MarkOf(item->node)) {
                case Mark::Added:
                    return QBrush(QColor::fromRgb(kAddedColour));
                case Mark::Changed:
                    return QBrush(QColor::fromRgb(kChangedColour));
                default:
                    return {};
            }
        case kMarkRole: {
            const Mark mark = MarkOf(item->node);
            return mark == Mark::None ? QString() : QString(QChar(static_cast<char>(mark)));
        }
        default:
            return {};
    }
}

// "来自 000_patch.pak, 覆盖 2 个副本" (from the archive, overriding two copies), and what a
// comparison found.
QString CTreeModel::ToolTip(const Item& item) const {
    PakMgr::PakEntry entry;
    if (item.folder) {
        return MarkOf(item.node) == Mark::None ? QString() : tr("比较: 含有变更的文件");
    }
    if (!m_mgr || !item.node || item.node->GetIndex() < 0 ||
        !m_mgr->GetEntry(static_cast<uint32_t>(item.node->GetIndex()), entry)) {
        return {};
    }
    const std::string archive = entry.pakPath.substr(entry.pakPath.find_last_of('/') + 1);
    QString tip = tr("来自 %1").arg(QString::fromStdString(Base::GbkToUtf8(archive)));
    if (const uint32_t records = Records(item.node); records > 1) {
        tip += tr(", 覆盖 %n 个副本", nullptr, static_cast<int>(records - 1));
    }
    switch (MarkOf(item.node)) {
        case Mark::Added:
            tip += tr("\n比较: 新增");
            break;
        case Mark::Changed:
            tip += tr("\n比较: 已更改");
            break;
        default:
            break;
    }
    return tip;
}

}  // namespace App
