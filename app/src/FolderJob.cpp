#include "FolderJob.h"

#include <QCoreApplication>
#include <QElapsedTimer>

namespace App {

namespace {

// The window looks at the workers this often.
constexpr int kPollMs = 20;
// Without worker threads the window works in slices this long, so that it keeps answering
// (the cancel button too).
constexpr qint64 kSliceMs = 30;
constexpr int kLinesListed = 10;  // of the failures, the warnings and the renamed items

}  // namespace

QString FolderJobSummary(const FolderJobResult& result, const QString& where) {
    QString text = QCoreApplication::translate("App::FolderJob", "%1 / %2 个文件已完成: %3")
                       .arg(QString::number(result.done), QString::number(result.total), where);
    if (result.cancelled) {
        text += QCoreApplication::translate("App::FolderJob", "\n已取消.");
    }
    // `heading` holds %n, the count: "1 warning:", "2 warnings:".
    const auto list = [&text](const QStringList& lines, const char* heading) {
        if (lines.isEmpty()) {
            return;
        }
        text += QLatin1Char('\n') + QCoreApplication::translate("App::FolderJob", heading, nullptr,
                                                                static_cast<int>(lines.size()));
        for (int i = 0; i < lines.size() && i < kLinesListed; ++i) {
            text += QLatin1Char('\n') + lines[i];
        }
    };
    list(result.failures, QT_TRANSLATE_N_NOOP("App::FolderJob", "%n 个失败:"));
    list(result.warnings, QT_TRANSLATE_N_NOOP("App::FolderJob", "%n 个警告:"));
    list(result.renamed, QT_TRANSLATE_N_NOOP("App::FolderJob", "%n 个已改名 (名称已被占用):"));
    return text;
}

CFolderJob::CFolderJob(CStatusLine& line, std::size_t count, Operation operation,
                       QStringList renamed)
    : m_line(line), m_operation(std::move(operation)) {
    m_result.total = count;
    m_result.renamed = std::move(renamed);
    m_timer.setInterval(kPollMs);
    connect(&m_timer, &QTimer::timeout, this, &CFolderJob::Poll);
}

CFolderJob::~CFolderJob() {
    // The workers' items refer to this job: they end before it goes.
    m_workers.reset();
}

void CFolderJob::SetItemSizes(std::vector<std::size_t> sizes) {
    m_sizes = std::move(sizes);
}

void CFolderJob::Start() {
    m_sizesTotal = m_result.total;
    if (!m_sizes.empty()) {
        m_sizesTotal = 0;
        for (const std::size_t size : m_sizes) {
            m_sizesTotal += size;
        }
    }
    m_progress = std::make_unique<CProgress>(m_line, [this] { Cancel(); });
    m_progress->SetRange(0, static_cast<int>(m_sizesTotal));
    m_outcomes.assign(m_result.total, ItemOutcome{});
    m_ended.assign(m_result.total, 0);
    m_workers = std::make_unique<Base::Workers>(
        m_result.total, Base::DefaultWorkers(), [this](std::size_t index) {
            // Counted however the item ends, a throw included.
            struct Count {
                std::atomic<std::size_t>& ended;
                std::size_t size;
                ~Count() { ended += size; }
            } count{m_sizesEnded, m_sizes.empty() ? 1 : m_sizes[index]};
            m_outcomes[index] = m_operation(index);
            m_ended[index] = 1;
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
    // Finished is asked first: once it holds, every item's size is counted, so that the
    // last line of a job done says the total.
    const bool finished = m_workers->Finished();
    const std::size_t ended = m_sizesEnded;
    m_progress->SetPosition(static_cast<int>(ended));
    m_line.ShowText(QStringLiteral("%1/%2").arg(ended).arg(m_sizesTotal));
    if (finished) {
        Finish();
    }
}

void CFolderJob::Finish() {
    m_timer.stop();
    // Whatever an item threw (memory running out) is its failure line.
    for (const Base::Failure& failure : m_workers->Wait()) {
        m_outcomes[failure.index].failure = QString::fromStdString(failure.message);
        m_ended[failure.index] = 1;
    }
    for (std::size_t i = 0; i < m_outcomes.size(); ++i) {
        if (!m_ended[i]) {
            continue;  // cancelled before it began
        }
        if (m_outcomes[i].failure.isEmpty()) {
            ++m_result.done;
        } else {
            m_result.failures << m_outcomes[i].failure;
        }
        m_result.warnings << m_outcomes[i].warnings;
    }
    m_progress.reset();
    Q_EMIT Finished();
}

}  // namespace App
