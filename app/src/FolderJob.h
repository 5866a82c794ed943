// Work over every item of a folder on the same workers as `vell ... --each` (one per core),
// while the window only shows progress in the status bar, with a cancel button beside it, and
// a count at the end. The per-item operation is the caller's (raw files out, models
// converted). Where the system makes no thread, the window's own thread does the items a
// slice at a time between its events.
#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <atomic>
#include <functional>
#include <memory>
#include <vector>

#include "StatusLine.h"
#include "base/parallel.h"

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

// The summary shown at the end: "12 个文件已完成", the failures, the warnings, "已取消" when
// stopped.
QString FolderJobSummary(const FolderJobResult& result, const QString& where);

class CFolderJob final : public QObject {
    Q_OBJECT
public:
    // Does item `index` on a worker thread: an outcome without a failure on success. It
    // must touch nothing of the window.
    using Operation = std::function<ItemOutcome(std::size_t index)>;

    // `renamed`: the items that will be written under another name than their own.
    CFolderJob(CStatusLine& line, std::size_t count, Operation operation, QStringList renamed = {});
    // Stops and waits for the items under way.
    ~CFolderJob() override;

    // Progress counts each item as this many (files of a part, say) instead of one; before
    // Start, a size for every item.
    void SetItemSizes(std::vector<std::size_t> sizes);
    void Start();
    // Begins no more items; the job finishes (Finished) once those under way have ended.
    void Cancel();
    // Cancels and finishes now, waiting for the items under way.
    void CancelAndWait();
    bool Running() const { return m_timer.isActive(); }
    const FolderJobResult& Result() const { return m_result; }

Q_SIGNALS:
    void Finished();

private:
    // On the window's thread: the progress, the items a slice at a time when no worker
    // thread could be made, and the end.
    void Poll();
    void Finish();

    CStatusLine& m_line;
    Operation m_operation;
    std::unique_ptr<CProgress> m_progress;
    QTimer m_timer;
    // Written by the workers, each item its own entry; read once they have ended.
    std::vector<ItemOutcome> m_outcomes;
    std::vector<char> m_ended;
    std::vector<std::size_t> m_sizes;          // empty: every item counts one
    std::atomic<std::size_t> m_sizesEnded{0};  // the sizes of the items ended so far
    std::size_t m_sizesTotal = 0;
    std::unique_ptr<Base::Workers> m_workers;
    FolderJobResult m_result;
};

}  // namespace App
