#include "InfoPanel.h"

#include <QCoreApplication>
#include <QEvent>
#include <QHeaderView>
#include <QTreeWidget>
#include <map>

#include "Dialogs.h"
#include "TexturePreview.h"
#include "base/text.h"
#include "dds/dds.h"
#include "model/model.h"

namespace App {

namespace {

// What an item stands for, in its first column's user data.
// A MeshBone is one of the meshes' own bones, listed before an animation gives the skeleton:
// it has no joint to select.
enum class Role { Section, Piece, SubMesh, Texture, Bone, MeshBone, Animation, Size };
constexpr int kRoleData = Qt::UserRole;
constexpr int kIndexData = Qt::UserRole + 1;
constexpr int kSectionCount = 5;

constexpr const char* kContext = "App::CInfoPanel";
constexpr const char* kSections[kSectionCount] = {
    QT_TRANSLATE_NOOP("App::CInfoPanel", "零件"), QT_TRANSLATE_NOOP("App::CInfoPanel", "纹理"),
    QT_TRANSLATE_NOOP("App::CInfoPanel", "骨骼"), QT_TRANSLATE_NOOP("App::CInfoPanel", "动画"),
    QT_TRANSLATE_NOOP("App::CInfoPanel", "尺寸")};

QString Tr(const char* text) {
    return QCoreApplication::translate(kContext, text);
}

// A count in its plural form: `text` holds %n ("1 vertex", "4 vertices").
QString Count(const char* text, unsigned n) {
    return QCoreApplication::translate(kContext, text, nullptr, static_cast<int>(n));
}

QString FromGbk(const std::string& text) {
    return QString::fromStdString(Base::GbkToUtf8(text));
}

QTreeWidgetItem* Item(QTreeWidgetItem* parent, Role role, int index, const QString& name,
                      const QString& value) {
    auto* item = new QTreeWidgetItem(parent, {name, value});
    item->setData(0, kRoleData, static_cast<int>(role));
    item->setData(0, kIndexData, index);
    return item;
}

Role RoleOf(const QTreeWidgetItem* item) {
    return static_cast<Role>(item->data(0, kRoleData).toInt());
}

QString TextureText(const Model::TextureInfo& texture) {
    if (!texture.image) {
        return Tr(QT_TRANSLATE_NOOP("App::CInfoPanel", "未加载"));
    }
    const Dds::DdsInfo& info = texture.image->info;
    return QStringLiteral("%1 × %2, %3")
        .arg(info.width)
        .arg(info.height)
        .arg(QLatin1String(Dds::KindName(info.kind)));
}

// Units to a tenth (a character stands about 180), metres to the centimetre.
QString SizeText(const float* min, const float* max, float scale, const QString& unit) {
    const auto side = [&](int i) {
        return QString::number(std::max(0.0f, max[i] - min[i]) * scale, 'f', scale < 1 ? 2 : 1);
    };
    return QStringLiteral("%1 × %2 × %3 ").arg(side(0), side(1), side(2)) + unit;
}

void AddPieces(QTreeWidgetItem* section, const Model::ModelInfo& info) {
    int running = 0;
    for (const Model::PieceInfo& piece : info.pieces) {
        auto* item = Item(section, Role::Piece, static_cast<int>(piece.slot), FromGbk(piece.skin),
                          FromGbk(piece.mesh));
        for (const Model::SubMeshInfo& sub : piece.subMeshes) {
            auto* subItem =
                Item(item, Role::SubMesh, running++, FromGbk(sub.name),
                     Count(QT_TRANSLATE_N_NOOP("App::CInfoPanel", "%n 顶点"), sub.vertices) +
                         QStringLiteral(", ") +
                         Count(QT_TRANSLATE_N_NOOP("App::CInfoPanel", "%n 三角形"), sub.triangles));
            subItem->setCheckState(0, sub.visible ? Qt::Checked : Qt::Unchecked);
        }
    }
}

void AddTextures(QTreeWidgetItem* section, const Model::ModelInfo& info) {
    for (const Model::PieceInfo& piece : info.pieces) {
        for (std::size_t t = 0; t < piece.textures.size(); ++t) {
            Item(section, Role::Texture, static_cast<int>(piece.slot),
                 FromGbk(piece.textures[t].name), TextureText(piece.textures[t]))
                ->setData(1, kIndexData, static_cast<int>(t));
        }
    }
}

// The bones as a tree: each under its parent, roots (and bones whose parent is out of
// range or not listed before a cycle could form) at the top.
void AddBones(QTreeWidgetItem* section, const std::vector<Model::BoneInfo>& bones) {
    std::vector<QTreeWidgetItem*> items(bones.size(), nullptr);
    std::multimap<uint32_t, std::size_t> children;
    std::vector<std::size_t> pending;
    for (std::size_t i = 0; i < bones.size(); ++i) {
        const uint32_t parent = bones[i].parent;
        if (parent < bones.size() && parent != i) {
            children.emplace(parent, i);
        } else {
            pending.push_back(i);
        }
    }
    const auto add = [&](QTreeWidgetItem* parent, std::size_t i) {
        items[i] = Item(parent, Role::Bone, static_cast<int>(i), FromGbk(bones[i].name),
                        QStringLiteral("#%1").arg(i));
    };
    for (const std::size_t root : pending) {
        add(section, root);
    }
    // Breadth first from the roots; a bone in a parent cycle is never reached from one.
    for (std::size_t next = 0; next < pending.size(); ++next) {
        const auto [first, last] = children.equal_range(static_cast<uint32_t>(pending[next]));
        for (auto it = first; it != last; ++it) {
            add(items[pending[next]], it->second);
            pending.push_back(it->second);
        }
    }
    for (std::size_t i = 0; i < bones.size(); ++i) {
        if (!items[i]) {
            add(section, i);
        }
    }
}

// Before an animation: the meshes' bones by name, flat, as a mesh file has no parents.
void AddMeshBones(QTreeWidgetItem* section, const std::vector<std::string>& names) {
    for (std::size_t i = 0; i < names.size(); ++i) {
        Item(section, Role::MeshBone, static_cast<int>(i), FromGbk(names[i]),
             QStringLiteral("#%1").arg(i));
    }
}

// A text of everything the panel shows, to tell whether it changed.
QString Signature(const Model::ModelInfo& info, const std::vector<Model::BoneInfo>& bones) {
    QString text;
    for (const Model::PieceInfo& piece : info.pieces) {
        text += FromGbk(piece.skin) + FromGbk(piece.mesh);
        for (const Model::SubMeshInfo& sub : piece.subMeshes) {
            text += FromGbk(sub.name) + QString::number(sub.vertices) + (sub.visible ? '+' : '-');
        }
        for (const Model::TextureInfo& t : piece.textures) {
            text += FromGbk(t.name) + (t.image ? '+' : '-');
        }
    }
    for (const Model::BoneInfo& bone : bones) {
        text += FromGbk(bone.name) + QString::number(bone.parent);
    }
    for (const std::string& name : info.meshBones) {
        text += FromGbk(name) + '~';
    }
    for (const Model::AnimationInfo& a : info.animations) {
        text += FromGbk(a.name) + QString::number(a.lastFrame);
    }
    for (int i = 0; i < 3; ++i) {
        text += QString::number(info.boxMin[i]) + QString::number(info.boxMax[i]);
    }
    return text;
}

}  // namespace

CInfoPanel::CInfoPanel(QWidget* parent, Model::IVellModel& model)
    : QDockWidget(parent), m_model(model), m_tree(new QTreeWidget(this)) {
    setObjectName(QStringLiteral("infoPanel"));
    // Only 设置 / 模型信息 shows and hides it, so its check mark is always right.
    setFeatures(QDockWidget::NoDockWidgetFeatures);
    m_tree->setColumnCount(2);
    m_tree->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    setWidget(m_tree);
    for (int i = 0; i < kSectionCount; ++i) {
        auto* item = new QTreeWidgetItem(m_tree);
        item->setData(0, kRoleData, static_cast<int>(Role::Section));
    }
    Retranslate();
    connect(m_tree, &QTreeWidget::itemChanged, this, &CInfoPanel::OnItemChanged);
    // Activation: a double-click, or Enter on the current item.
    connect(m_tree, &QTreeWidget::itemActivated, this, &CInfoPanel::OnItemDoubleClicked);
    connect(m_tree, &QTreeWidget::itemSelectionChanged, this, &CInfoPanel::OnSelectionChanged);
}

void CInfoPanel::Retranslate() {
    setWindowTitle(tr("模型信息"));
    m_tree->setHeaderLabels({tr("名称"), tr("值")});
    for (int i = 0; i < kSectionCount; ++i) {
        Section(i)->setText(0, Tr(kSections[i]));
    }
    // The items name units and counts in words.
    m_shown.clear();
    if (isVisible()) {
        Fill();
    }
}

void CInfoPanel::changeEvent(QEvent* event) {
    if (event->type() == QEvent::LanguageChange) {
        Retranslate();
    }
    QDockWidget::changeEvent(event);
}

QTreeWidgetItem* CInfoPanel::Section(int index) const {
    return m_tree->topLevelItem(index);
}

void CInfoPanel::Fill() {
    const Model::ModelInfo info = m_model.GetInfo();
    const std::vector<Model::BoneInfo> bones = m_model.GetBones();
    QString signature = Signature(info, bones);
    if (signature == m_shown) {
        return;
    }
    m_shown = std::move(signature);
    m_filling = true;
    m_tree->setUpdatesEnabled(false);
    for (int i = 0; i < kSectionCount; ++i) {
        qDeleteAll(Section(i)->takeChildren());
    }
    AddPieces(Section(0), info);
    AddTextures(Section(1), info);
    AddBones(Section(2), bones);
    if (bones.empty()) {
        AddMeshBones(Section(2), info.meshBones);
    }
    for (std::size_t a = 0; a < info.animations.size(); ++a) {
        Item(Section(3), Role::Animation, static_cast<int>(a), FromGbk(info.animations[a].name),
             tr("最后一帧 %1").arg(info.animations[a].lastFrame));
    }
    if (!info.pieces.empty()) {
        Item(Section(4), Role::Size, 0, tr("单位"),
             SizeText(info.boxMin, info.boxMax, 1, tr("单位")));
        Item(Section(4), Role::Size, 1, tr("米"),
             SizeText(info.boxMin, info.boxMax, 1 / kUnitsPerMetre, tr("米")));
    }
    for (int i = 0; i < kSectionCount; ++i) {
        Section(i)->setExpanded(true);
    }
    m_tree->setUpdatesEnabled(true);
    m_filling = false;
}

void CInfoPanel::ShowSelectedBone(int index) {
    m_filling = true;
    m_tree->clearSelection();
    QTreeWidgetItemIterator it(Section(2));
    for (; *it; ++it) {
        if (RoleOf(*it) == Role::Bone && (*it)->data(0, kIndexData).toInt() == index) {
            (*it)->setSelected(true);
            m_tree->scrollToItem(*it);
            break;
        }
    }
    m_filling = false;
}

void CInfoPanel::OnItemChanged(QTreeWidgetItem* item) {
    if (m_filling || RoleOf(item) != Role::SubMesh) {
        return;
    }
    Q_EMIT SubMeshToggled(static_cast<unsigned>(item->data(0, kIndexData).toInt()));
}

void CInfoPanel::OnItemDoubleClicked(QTreeWidgetItem* item) {
    if (RoleOf(item) != Role::Texture) {
        return;
    }
    const Model::ModelInfo info = m_model.GetInfo();
    const auto slot = static_cast<std::size_t>(item->data(0, kIndexData).toInt());
    const auto index = static_cast<std::size_t>(item->data(1, kIndexData).toInt());
    for (const Model::PieceInfo& piece : info.pieces) {
        if (piece.slot != slot || index >= piece.textures.size() || !piece.textures[index].image) {
            continue;
        }
        try {
            ShowTexturePreview(this, *piece.textures[index].image, item->text(0));
        } catch (const Except& e) {
            ShowInfo(this, item->text(0) + QStringLiteral(": ") + FromGbk(e.what()));
        }
    }
}

void CInfoPanel::OnSelectionChanged() {
    if (m_filling) {
        return;
    }
    const QList<QTreeWidgetItem*> selected = m_tree->selectedItems();
    if (selected.size() == 1 && RoleOf(selected[0]) == Role::Bone) {
        Q_EMIT BoneSelected(selected[0]->data(0, kIndexData).toInt());
    }
}

}  // namespace App
