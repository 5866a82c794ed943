// The gallery (视图 / 缩略图, or 缩略图 on a folder): every whole-model skin below a folder as
// a grid of pictures, made by a CThumbnailJob off the window's thread and shown as they come,
// with 取消 and a choice of sizes. A click selects the skin in the tree, a double-click
// renders it; the tree's filter narrows the grid as it narrows the tree; a skin that can't be
// drawn gets a marked tile whose tool tip says why.
#pragma once

#include <QWidget>

#include <functional>
#include <memory>
#include <string>
#include <vector>
#include "Thumbnails.h"

class QComboBox;
class QLabel;
class QListWidget;
class QListWidgetItem;
class QPushButton;
class QTimer;

namespace PakMgr {
struct ITreeNode;
}

namespace App {

class CGallery final : public QWidget {
    Q_OBJECT
public:
    // What the window around it does with a tile.
    struct Hooks {
        std::function<void(PakMgr::ITreeNode*)> select;  // a click
        std::function<void(PakMgr::ITreeNode*)> render;  // a double-click or Enter
    };
    // The data role that is true for the tile of a skin that can't be drawn.
    static constexpr int kBrokenRole = Qt::UserRole + 2;
    // The sizes offered, the default first.
    static constexpr int kSizes[] = {128, 64, 96, 160, 192, 256};

    CGallery(QWidget* owner, Hooks hooks);
    ~CGallery() override;  // stops the job

    // Shows the skins below `folder` (the whole tree for its root) narrowed by the filter
    // text, and starts making their pictures.
    void ShowFolder(PakMgr::ITreeNode* folder, const QString& filter);
    // The tree's filter text, as the tree pane applies it.
    void SetFilter(const QString& text);
    // Stops the work and forgets every tile: call before the tree they show goes.
    void Forget();

    QListWidget* Grid() const { return m_grid; }
    QPushButton* CancelButton() const { return m_cancel; }
    QComboBox* SizeBox() const { return m_sizes; }
    QLabel* ProgressText() const { return m_progress; }
    const CThumbnailJob* Job() const { return m_job.get(); }
    int TileSize() const { return m_size; }
    // Tiles shown (not hidden by the filter), and those whose picture has come.
    int ShownTiles() const;
    int MadeTiles() const { return m_made; }
    // Whether the job has ended and everything it made is shown.
    bool Done() const;

protected:
    void changeEvent(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void Retranslate();
    void StartJob();
    // Cancels the job and waits for the pictures under way.
    void StopJob();
    void Poll();
    void ShowTile(const Thumbnail& made);
    void ShowProgress();
    PakMgr::ITreeNode* NodeOf(const QListWidgetItem* item) const;

    Hooks m_hooks;
    QListWidget* m_grid = nullptr;
    QPushButton* m_cancel = nullptr;
    QComboBox* m_sizes = nullptr;
    QLabel* m_progress = nullptr;
    QLabel* m_sizeLabel = nullptr;
    QTimer* m_poll = nullptr;
    std::unique_ptr<CThumbnailJob> m_job;
    std::vector<Thumbnail> m_pending;  // made, not yet in their tiles
    std::vector<PakMgr::ITreeNode*> m_skins;
    std::vector<std::string> m_names;                 // folded, for the filter
    std::vector<std::vector<std::string>> m_folders;  // folded, nearest first
    QString m_filter;
    int m_size = 0;
    int m_made = 0;
    bool m_cancelled = false;
};

}  // namespace App
