#include "FolderJob.h"

#include <QElapsedTimer>

namespace App {

namespace {

// Work in slices this long, so that the window keeps answering (the cancel button too).
constexpr qint64 kSliceMs = 30;
constexpr int kLinesListed = 10;  // of the failures, the warnings and the renamed items

}  // namespace

QString FolderJobSummary(const FolderJobResult& result, const QString& where) {
    QString text =
        QString::fromUtf8("%1 / %2 个文件已完成: %3").arg(result.done).arg(result.total).arg(where);
    if (result.cancelled) {
        text += QString::fromUtf8("\n已取消.");
    }
    const auto list = [&text](const QStringList& lines, const char* heading) {
        if (lines.isEmpty()) {
            return;
        }
        text += QLatin1Char('\n') + QString::fromUtf8(heading).arg(lines.size());
        for (int i = 0; i < lines.size() && i < kLinesListed; ++i) {
            text += QLatin1Char('\n') + lines[i];
        }
    };
    list(result.failures, "%1 个失败:");
    list(result.warnings, "%1 个警告:");
    list(result.renamed, "%1 个已改名 (名称已被占用):");
    return text;
}

CFolderJob::CFolderJob(CStatusLine& line, std::size_t count, Operation operation,
                       QStringList renamed)
    : m_line(line), m_operation(std::move(operation)) {
    m_result.total = count;
    m_result.renamed = std::move(renamed);
    m_timer.setInterval(0);
    connect(&m_timer, &QTimer::timeout, this, &CFolderJob::Slice);
}

CFolderJob::~CFolderJob() = default;

void CFolderJob::Start() {
    m_progress = std::make_unique<CProgress>(m_line, [this] { Cancel(); });
    m_progress->SetRange(0, static_cast<int>(m_result.total));
    m_timer.start();
}

void CFolderJob::Cancel() {
    if (!Running()) {
        return;
    }
    m_result.cancelled = true;
    Finish();
}

void CFolderJob::Slice() {
    QElapsedTimer clock;
    clock.start();
    while (m_next < m_result.total && clock.elapsed() < kSliceMs) {
        ItemOutcome outcome = m_operation(m_next++);
        if (outcome.failure.isEmpty()) {
            ++m_result.done;
        } else {
            m_result.failures << outcome.failure;
        }
        m_result.warnings << outcome.warnings;
    }
    m_progress->SetPosition(static_cast<int>(m_next));
    m_line.ShowText(QStringLiteral("%1/%2").arg(m_next).arg(m_result.total));
    if (m_next >= m_result.total) {
        Finish();
    }
}

void CFolderJob::Finish() {
    m_timer.stop();
    m_progress.reset();
    Q_EMIT Finished();
}

}  // namespace App
