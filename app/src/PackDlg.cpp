#include "PackDlg.h"

#include <QDialogButtonBox>
#include <QDir>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include "base/text.h"

namespace App {

namespace {

constexpr int kTableWidth = 640;
constexpr int kTableHeight = 400;

QString Shown(const std::string& archivePath) {
    QString path = QString::fromStdString(Base::GbkToUtf8(archivePath));
    path.replace(QLatin1Char('\\'), QLatin1Char('/'));
    return path.startsWith(QLatin1Char('/')) ? path.mid(1) : path;
}

QTableWidget* Table(QWidget* owner, const QStringList& columns,
                    const std::vector<QStringList>& rows) {
    auto* table =
        new QTableWidget(static_cast<int>(rows.size()), static_cast<int>(columns.size()), owner);
    table->setHorizontalHeaderLabels(columns);
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->verticalHeader()->hide();
    table->horizontalHeader()->setStretchLastSection(true);
    for (std::size_t r = 0; r < rows.size(); ++r) {
        for (int c = 0; c < rows[r].size() && c < columns.size(); ++c) {
            table->setItem(static_cast<int>(r), c, new QTableWidgetItem(rows[r][c]));
        }
    }
    table->resizeColumnsToContents();
    return table;
}

}  // namespace

QDialog* TableDialog(QWidget* owner, const QString& objectName, const QString& title,
                     const QString& heading, const QStringList& columns,
                     const std::vector<QStringList>& rows) {
    auto* dialog = new QDialog(owner);
    dialog->setObjectName(objectName);
    dialog->setWindowTitle(title);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    auto* layout = new QVBoxLayout(dialog);
    layout->addWidget(new QLabel(heading, dialog));
    QTableWidget* table = Table(dialog, columns, rows);
    table->setObjectName(objectName + QStringLiteral("Table"));
    layout->addWidget(table);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, dialog);
    QObject::connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::close);
    layout->addWidget(buttons);
    dialog->resize(kTableWidth, kTableHeight);
    return dialog;
}

CPackDlg::CPackDlg(QWidget* owner, PakMgr::IPakMgr& game, QString gameFolder,
                   const QString& sourceFolder, PakMgr::PackPlan plan)
    : QDialog(owner), m_game(game), m_gameFolder(std::move(gameFolder)), m_plan(std::move(plan)) {
    setObjectName(QStringLiteral("packDialog"));
    setWindowTitle(tr("打包补丁"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(
        tr("把 %1 中的 %2 个文件打包到游戏目录:").arg(sourceFolder).arg(m_plan.files.size()),
        this));
    m_name = new QLineEdit(QFileInfo(sourceFolder).fileName(), this);
    m_name->setObjectName(QStringLiteral("packName"));
    layout->addWidget(m_name);
    m_report = Table(this, {tr("文件"), tr("结果"), tr("包")}, {});
    m_report->setObjectName(QStringLiteral("packReport"));
    layout->addWidget(m_report);
    m_verdict = new QLabel(this);
    m_verdict->setObjectName(QStringLiteral("packVerdict"));
    m_verdict->setWordWrap(true);
    layout->addWidget(m_verdict);
    auto* buttons = new QDialogButtonBox(this);
    m_pack = buttons->addButton(tr("打包"), QDialogButtonBox::AcceptRole);
    m_pack->setObjectName(QStringLiteral("packButton"));
    buttons->addButton(tr("取消"), QDialogButtonBox::RejectRole);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
    connect(m_name, &QLineEdit::textChanged, this, &CPackDlg::Check);
    resize(kTableWidth, kTableHeight);
    Check();
}

QString CPackDlg::Target() const {
    QString name = m_name->text().trimmed();
    if (!name.endsWith(QStringLiteral(".pak"), Qt::CaseInsensitive)) {
        name += QStringLiteral(".pak");
    }
    return QDir(m_gameFolder).filePath(name);
}

void CPackDlg::Check() {
    const QString name = QFileInfo(Target()).fileName();
    const PakMgr::ModCheck check = PakMgr::CheckMod(m_game, name.toStdString(), m_plan);
    const QString kinds[] = {tr("覆盖"), tr("新增"), tr("输给")};
    int counts[3] = {};
    m_report->setRowCount(static_cast<int>(check.paths.size()));
    for (std::size_t i = 0; i < check.paths.size(); ++i) {
        const PakMgr::PathVerdict& v = check.paths[i];
        ++counts[v.kind];
        const QString cells[] = {Shown(v.path), kinds[v.kind],
                                 QString::fromStdString(Base::GbkToUtf8(v.archive))};
        for (int c = 0; c < 3; ++c) {
            m_report->setItem(static_cast<int>(i), c, new QTableWidgetItem(cells[c]));
        }
    }
    QString verdict =
        tr("%1 个覆盖, %2 个新增, %3 个输给先读的包").arg(counts[0]).arg(counts[1]).arg(counts[2]);
    bool allowed = !check.Loses() && m_name->text().trimmed().size() > 0 &&
                   !m_name->text().contains(QLatin1Char('/'));
    if (check.Loses() && !check.winningName.empty()) {
        verdict += QLatin1Char('\n') +
                   tr("改名为 %1 可胜出").arg(QString::fromStdString(check.winningName));
    }
    if (QFileInfo::exists(Target()) && !PakMgr::IsPackedArchive(Target().toStdString())) {
        verdict += QLatin1Char('\n') + tr("%1 是游戏自己的包, 不能覆盖").arg(name);
        allowed = false;
    }
    m_verdict->setText(verdict);
    m_pack->setEnabled(allowed);
}

}  // namespace App
