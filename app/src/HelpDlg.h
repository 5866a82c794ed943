// The key help: a window listing every accelerator of the command table and every key and
// mouse action of the view, made from those tables so it can't drift from them.
#pragma once

#include <QDialog>
#include <QString>
#include <utility>
#include <vector>

class QTableWidget;

namespace App {

// The rows the help lists, in order: (key or mouse action, what it does).
std::vector<std::pair<QString, QString>> HelpRows();

class CHelpDlg final : public QDialog {
    Q_OBJECT
public:
    explicit CHelpDlg(QWidget* parent);

    QTableWidget* Table() const { return m_table; }

protected:
    void changeEvent(QEvent* event) override;

private:
    // The title, headings and rows in the language in use.
    void Retranslate();

    QTableWidget* m_table = nullptr;
};

}  // namespace App
