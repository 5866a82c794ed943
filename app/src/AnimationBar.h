// The tool bar's animation controls: the list of the skeleton's animations, the speed
// slider and the parts button with its menu of sub-meshes. They talk to the model directly;
// the frame places the widgets on its tool bar.
#pragma once

#include <QObject>
#include <QString>
#include <QToolButton>
#include <cstdint>
#include <vector>

class QAction;
class QComboBox;
class QMenu;
class QSlider;

namespace Model {
struct IVellModel;
}

namespace App {

inline constexpr const char* kDefaultAnimation = "默认   ";
// Frames per second of a freshly started animation, and the speed slider's position then.
inline constexpr int kDefaultSpeed = 60;

// The parts button; remembers the keyboard modifiers of the click that pressed it.
class CPartsButton final : public QToolButton {
public:
    using QToolButton::QToolButton;
    Qt::KeyboardModifiers TakeClickModifiers();

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    Qt::KeyboardModifiers m_clickModifiers;
    bool m_clicked = false;
};

class CAnimationBar final : public QObject {
    Q_OBJECT
public:
    // The widgets are made children of `parent`; `partsAction` is the parts button's command.
    CAnimationBar(QWidget* parent, QAction* partsAction, Model::IVellModel& model);

    QComboBox* List() const { return m_list; }
    QSlider* Slider() const { return m_slider; }
    CPartsButton* PartsButton() const { return m_partsButton; }
    QMenu* PartsMenu() const { return m_partsMenu; }

    // Back to "默认" alone. The speed slider stays where the user left it: only starting an
    // animation sets the model's speed, and the slider with it.
    void Reset();
    // After the model read an animation file: lists its animations and plays the first.
    // False when the file has none.
    bool ShowAnimations();
    // Lists the model's sub-meshes, every one shown.
    void RebuildParts();
    // The parts button: shows every sub-mesh, or with Ctrl held hides them all.
    void OnPartsButton();
    // A part item's command (kFirstPart + n); false for any other id.
    bool TogglePart(uint16_t id);

    bool AnimationChosen() const;
    // The chosen animation's name, or empty for the default entry.
    QString ChosenName() const;

Q_SIGNALS:
    // A part item was clicked (its command id).
    void PartCommand(uint16_t id);
    // The list or the speed changed what plays.
    void PlaybackChanged();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void SetSliderPosition(int position);
    void OnAnimationSelect(int index);

    Model::IVellModel& m_model;
    QComboBox* m_list;
    QSlider* m_slider;
    QMenu* m_partsMenu;
    CPartsButton* m_partsButton;
    std::vector<bool> m_partChecked;
};

}  // namespace App
