#include "HelpDlg.h"

#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QEvent>
#include <QHeaderView>
#include <QKeySequence>
#include <QRegularExpression>
#include <QTableWidget>
#include <QVBoxLayout>

#include "CommandTable.h"
#include "ViewKeys.h"

namespace App {

namespace {

constexpr int kInitialWidth = 520;
constexpr int kInitialHeight = 560;

// A command's name as the help shows it, in the language in use: the menu text without its
// mnemonic and ellipsis, else the tool tip part of its prompt.
QString CommandName(const CommandInfo& info) {
    if (info.text) {
        QString text = CommandText(info);
        text.remove(QRegularExpression(QStringLiteral("\\(&.\\)")));
        text.remove(QLatin1Char('&'));
        text.remove(QStringLiteral("..."));
        return text;
    }
    return CommandPrompt(info).section(QLatin1Char('\n'), -1);
}

}  // namespace

std::vector<std::pair<QString, QString>> HelpRows() {
    std::vector<std::pair<QString, QString>> rows;
    for (const CommandInfo& info : Commands()) {
        if (info.shortcut) {
            rows.emplace_back(QKeySequence(QString::fromLatin1(info.shortcut)).toString(),
                              CommandName(info));
        }
    }
    for (const ViewKeyInfo& key : ViewKeys()) {
        const QString name = key.qtKey != 0 ? QKeySequence(key.qtKey).toString()
                                            : QCoreApplication::translate("ViewKeys", key.keyText);
        rows.emplace_back(name, QCoreApplication::translate("ViewKeys", key.action));
    }
    return rows;
}

CHelpDlg::CHelpDlg(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("HelpKeys"));
    auto* layout = new QVBoxLayout(this);
    m_table = new QTableWidget(0, 2, this);
    m_table->verticalHeader()->hide();
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->horizontalHeader()->setStretchLastSection(true);
    layout->addWidget(m_table);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
    Retranslate();
    resize(kInitialWidth, kInitialHeight);
}

void CHelpDlg::changeEvent(QEvent* event) {
    if (event->type() == QEvent::LanguageChange) {
        Retranslate();
    }
    QDialog::changeEvent(event);
}

void CHelpDlg::Retranslate() {
    setWindowTitle(tr("快捷键"));
    const auto rows = HelpRows();
    m_table->setRowCount(static_cast<int>(rows.size()));
    m_table->setHorizontalHeaderLabels({tr("按键或鼠标"), tr("作用")});
    for (int row = 0; row < static_cast<int>(rows.size()); ++row) {
        m_table->setItem(row, 0, new QTableWidgetItem(rows[row].first));
        m_table->setItem(row, 1, new QTableWidgetItem(rows[row].second));
    }
    m_table->resizeColumnToContents(0);
}

}  // namespace App
