// Work over every item of a folder, done a slice at a time between the window's events:
// progress in the status bar, a cancel button beside it, and a count at the end. The
// per-item operation is the caller's (raw files out, models converted).
#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <functional>
#include <memory>

#include "StatusLine.h"

namespace App {

struct FolderJobResult {
    std::size_t total = 0;
    std::size_t done = 0;  // items that succeeded
    QStringList failures;  // one line per item that failed: what and why
    QStringList warnings;  // what was left out of items that were done or failed
    QStringList renamed;   // items written under another name than their own: from → to
    bool cancelled = false;
};

// What one item came to: no failure when it was done; warnings either way.
struct ItemOutcome {
    QString failure;
    QStringList warnings;
};

// The summary shown at the end: "12 个文件已完成", the failures, the warnings, the renamed
// items, "已取消" when stopped.
QString FolderJobSummary(const FolderJobResult& result, const QString& where);

class CFolderJob final : public QObject {
    Q_OBJECT
public:
    // Does item `index`: an outcome without a failure on success.
    using Operation = std::function<ItemOutcome(std::size_t index)>;

    // `renamed`: the items that will be written under another name than their own.
    CFolderJob(CStatusLine& line, std::size_t count, Operation operation, QStringList renamed = {});
    ~CFolderJob() override;

    void Start();
    void Cancel();
    bool Running() const { return m_timer.isActive(); }
    const FolderJobResult& Result() const { return m_result; }

Q_SIGNALS:
    void Finished();

private:
    void Slice();
    void Finish();

    CStatusLine& m_line;
    Operation m_operation;
    std::unique_ptr<CProgress> m_progress;
    QTimer m_timer;
    std::size_t m_next = 0;
    FolderJobResult m_result;
};

}  // namespace App
