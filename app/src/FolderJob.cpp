#include "FolderJob.h"

#include <QElapsedTimer>

namespace App {

namespace {

// The window looks at the workers this often.
constexpr int kPollMs = 20;
// Without worker threads the window works in slices this long, so that it keeps answering
// (the cancel button too).
constexpr qint64 kSliceMs = 30;
constexpr int kFailuresListed = 10;

}  // namespace

QString FolderJobSummary(const FolderJobResult& result, const QString& where) {
    QString text =
        QString::fromUtf8("%1 / %2 个文件已完成: %3").arg(result.done).arg(result.total).arg(where);
    if (result.cancelled) {
        text += QString::fromUtf8("\n已取消.");
    }
    if (!result.failures.isEmpty()) {
        text += QString::fromUtf8("\n%1 个失败:").arg(result.failures.size());
        for (int i = 0; i < result.failures.size() && i < kFailuresListed; ++i) {
            text += QLatin1Char('\n') + result.failures[i];
        }
    }
    return text;
}

CFolderJob::CFolderJob(CStatusLine& line, std::size_t count, Operation operation)
    : m_line(line), m_operation(std::move(operation)) {
    m_result.total = count;
    m_timer.setInterval(kPollMs);
    connect(&m_timer, &QTimer::timeout, this, &CFolderJob::Poll);
}

CFolderJob::~CFolderJob() {
    // The workers' items refer to this job: they end before it goes.
    m_workers.reset();
}

void CFolderJob::Start() {
    m_progress = std::make_unique<CProgress>(m_line, [this] { Cancel(); });
    m_progress->SetRange(0, static_cast<int>(m_result.total));
    m_lines.assign(m_result.total, QString());
    m_succeeded.assign(m_result.total, 0);
    m_workers = std::make_unique<Base::Workers>(
        m_result.total, Base::DefaultWorkers(), [this](std::size_t index) {
            m_lines[index] = m_operation(index);
            m_succeeded[index] = m_lines[index].isEmpty() ? 1 : 0;
        });
    m_timer.start();
}

void CFolderJob::Cancel() {
    if (!Running()) {
        return;
    }
    m_result.cancelled = true;
    m_workers->Stop();
}

void CFolderJob::CancelAndWait() {
    Cancel();
    if (Running()) {
        m_workers->Wait();
        Finish();
    }
}

void CFolderJob::Poll() {
    if (m_workers->Threads() == 0) {
        QElapsedTimer clock;
        clock.start();
        while (clock.elapsed() < kSliceMs && m_workers->Help()) {
        }
    }
    const std::size_t ended = m_workers->Ended();
    m_progress->SetPosition(static_cast<int>(ended));
    m_line.ShowText(QStringLiteral("%1/%2").arg(ended).arg(m_result.total));
    if (m_workers->Finished()) {
        Finish();
    }
}

void CFolderJob::Finish() {
    m_timer.stop();
    // Whatever an item threw (memory running out) is its failure line.
    for (const Base::Failure& failure : m_workers->Wait()) {
        m_lines[failure.index] = QString::fromStdString(failure.message);
    }
    for (std::size_t i = 0; i < m_lines.size(); ++i) {
        if (m_succeeded[i]) {
            ++m_result.done;
        } else if (!m_lines[i].isEmpty()) {
            m_result.failures << m_lines[i];
        }
    }
    m_progress.reset();
    Q_EMIT Finished();
}

}  // namespace App
