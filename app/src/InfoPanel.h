// The info panel beside the view: what the model shown is made of. Its pieces and their
// sub-meshes (with the same show/hide switch as the parts menu), every material's textures
// (a double-click previews one), the bones as a tree by parent, the animations, and the
// model's size in units and in metres.
#pragma once

#include <QDockWidget>
#include <QString>

class QTreeWidget;
class QTreeWidgetItem;

namespace Model {
struct IVellModel;
}

namespace App {

// Game units per metre.
inline constexpr float kUnitsPerMetre = 100.0f;

class CInfoPanel final : public QDockWidget {
    Q_OBJECT
public:
    CInfoPanel(QWidget* parent, Model::IVellModel& model);

    // Shows the model as it is now; nothing is rebuilt when nothing the panel shows changed.
    void Fill();
    // Marks a bone as selected (-1: none) without reporting it back.
    void ShowSelectedBone(int index);

    QTreeWidget* Tree() const { return m_tree; }
    // The section items, in order: pieces, textures, bones, animations, size.
    QTreeWidgetItem* Section(int index) const;

Q_SIGNALS:
    // The user switched sub-mesh `index` (EnumSubMeshes order) on or off.
    void SubMeshToggled(unsigned index);
    // The user selected a bone in the tree.
    void BoneSelected(int index);

private:
    void OnItemChanged(QTreeWidgetItem* item);
    void OnItemDoubleClicked(QTreeWidgetItem* item);
    void OnSelectionChanged();

    Model::IVellModel& m_model;
    QTreeWidget* m_tree;
    QString m_shown;  // what the items show, to skip rebuilding them for nothing
    bool m_filling = false;
};

}  // namespace App
