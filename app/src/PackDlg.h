// Mods in the viewer: the dialog of 打包补丁... that shows what a folder packed under a name
// does to the game before anything is written, and the tables of 来源 and 补丁列表....
#pragma once

#include <QDialog>
#include <QStringList>
#include <vector>

#include "pakmgr/pack.h"

class QLabel;
class QLineEdit;
class QPushButton;
class QTableWidget;

namespace App {

// A window of its own holding a table: a heading, the column titles and the rows.
QDialog* TableDialog(QWidget* owner, const QString& objectName, const QString& title,
                     const QString& heading, const QStringList& columns,
                     const std::vector<QStringList>& rows);

// Asks for the archive's name and shows, for the name typed, what each file of the plan does
// to the game: overrides, new, loses. 打包 is offered only when nothing loses and the name
// is not one of the game's own archives.
class CPackDlg final : public QDialog {
    Q_OBJECT
public:
    CPackDlg(QWidget* owner, PakMgr::IPakMgr& game, QString gameFolder, const QString& sourceFolder,
             PakMgr::PackPlan plan);

    // The archive to write: the game's folder, the name typed, ".pak".
    QString Target() const;
    const PakMgr::PackPlan& Plan() const { return m_plan; }

private:
    void Check();

    PakMgr::IPakMgr& m_game;
    const QString m_gameFolder;
    const PakMgr::PackPlan m_plan;
    QLineEdit* m_name = nullptr;
    QTableWidget* m_report = nullptr;
    QLabel* m_verdict = nullptr;
    QPushButton* m_pack = nullptr;
};

}  // namespace App
