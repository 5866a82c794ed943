#include "Soak.h"

#include <dirent.h>
#include <malloc.h>
#include <unistd.h>

#include <QComboBox>
#include <QFile>
#include <QTimer>
#include <cstdio>
#include <memory>

#include "CommandTable.h"
#include "GlView.h"
#include "MainFrame.h"
#include "pakmgr/pakmgr.h"

namespace App {

namespace {

// Frames of the animation shown before the model is closed, and the longest wait for them.
constexpr int kFramesShown = 3;
constexpr int kLongestPlayMs = 2000;
constexpr int kFirstAnimation = 1;  // entry 0 of the list is the bind pose

bool EndsWith(std::string_view name, std::string_view tail) {
    return name.size() >= tail.size() && name.substr(name.size() - tail.size()) == tail;
}

// Every skin that loads as a whole model (not in a "parts" folder) and has an animation
// file beside it, with the first such file.
void CollectSkins(PakMgr::ITreeNode* folder,
                  std::vector<std::pair<PakMgr::ITreeNode*, PakMgr::ITreeNode*>>& skins) {
    struct Children final : PakMgr::ITreeVisitor {
        std::vector<PakMgr::ITreeNode*> nodes;
        void Visit(PakMgr::ITreeNode* child) override { nodes.push_back(child); }
    } children;
    folder->ForEachChild(&children);
    PakMgr::ITreeNode* animation = nullptr;
    for (PakMgr::ITreeNode* child : children.nodes) {
        if (child->GetChildCount() == 0 && EndsWith(child->Name(), ".ani") && !animation) {
            animation = child;
        }
    }
    const bool parts = folder->Name() == "parts";
    for (PakMgr::ITreeNode* child : children.nodes) {
        if (child->GetChildCount() > 0) {
            CollectSkins(child, skins);
        } else if (!parts && animation && EndsWith(child->Name(), ".skn")) {
            skins.emplace_back(child, animation);
        }
    }
}

long ResidentKb() {
    long pages = 0;
    long resident = 0;
    if (std::FILE* f = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2) {
            resident = 0;
        }
        std::fclose(f);
    }
    return resident * (::sysconf(_SC_PAGESIZE) / 1024);
}

// What malloc has handed out and not had back: beside resident memory, a figure without the
// pages the allocator and the GL driver hold on to, for telling a leak from their noise.
long HeapKb() {
    return static_cast<long>(mallinfo2().uordblks / 1024);
}

int OpenFds() {
    int count = 0;
    if (DIR* dir = ::opendir("/proc/self/fd")) {
        while (const dirent* entry = ::readdir(dir)) {
            count += entry->d_name[0] != '.' ? 1 : 0;
        }
        ::closedir(dir);
    }
    return count - 1;  // the listing's own
}

// "fd -> target" of every open descriptor, for the report when their number changes.
QString FdTargets() {
    QString list;
    if (DIR* dir = ::opendir("/proc/self/fd")) {
        while (const dirent* entry = ::readdir(dir)) {
            if (entry->d_name[0] == '.') {
                continue;
            }
            char target[512] = {};
            const std::string link = std::string("/proc/self/fd/") + entry->d_name;
            if (::readlink(link.c_str(), target, sizeof target - 1) < 0) {
                continue;
            }
            list += QStringLiteral(" %1=%2").arg(QString::fromLatin1(entry->d_name),
                                                 QString::fromLocal8Bit(target));
        }
        ::closedir(dir);
    }
    return list;
}

class Soak : public QObject {
public:
    Soak(CVellModelBrowserMainFrame& frame, int loads, const QString& report)
        : QObject(&frame), m_frame(frame), m_loads(loads), m_report(report) {
        CollectSkins(PakMgr::GetPakMgr()->GetRoot(), m_skins);
        m_timeout.setSingleShot(true);
        connect(&m_timeout, &QTimer::timeout, this, &Soak::Close);
    }

    void Start() {
        if (!m_report.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered) ||
            m_skins.empty()) {
            std::fprintf(stderr, "soak: no skins, or can't write the report\n");
            return;
        }
        Write(QStringLiteral("start %1 skins, textures %2, rss_kb %3, fds %4\n")
                  .arg(m_skins.size())
                  .arg(m_frame.View()->TextureNames())
                  .arg(ResidentKb())
                  .arg(OpenFds()));
        QTimer::singleShot(0, this, &Soak::Load);
    }

private:
    void Write(const QString& line) { m_report.write(line.toUtf8()); }

    void Load() {
        const auto& [skin, animation] = m_skins[static_cast<std::size_t>(m_done) % m_skins.size()];
        m_frame.LoadSkin(skin);
        m_frame.LoadAnimation(animation);
        QComboBox* list = m_frame.AnimationList();
        if (list->count() > kFirstAnimation) {
            list->setCurrentIndex(kFirstAnimation);
            Q_EMIT list->activated(kFirstAnimation);
        }
        m_framesShown = 0;
        m_playing = connect(m_frame.View(), &CVellModelBrowserRenderView::FrameShown, this,
                            [this](int frame) {
                                if (frame >= 0 && ++m_framesShown == kFramesShown) {
                                    Close();
                                }
                            });
        m_timeout.start(kLongestPlayMs);
    }

    void Close() {
        disconnect(m_playing);
        m_timeout.stop();
        const std::size_t shownTextures = m_frame.View()->TextureNames();
        m_frame.OnCommand(Cmd::kFileClose);
        // The next picture shows the empty view and lets the closed model's textures go.
        m_frame.View()->Redraw();
        m_frame.View()->OnTimer();
        ++m_done;
        const int fds = OpenFds();
        if (fds != m_fds) {
            Write(QStringLiteral("descriptors%1\n").arg(FdTargets()));
            m_fds = fds;
        }
        Write(QStringLiteral(
                  "load %1 frames %2 shown_textures %3 textures %4 rss_kb %5 fds %6 heap_kb %7\n")
                  .arg(m_done)
                  .arg(m_framesShown)
                  .arg(shownTextures)
                  .arg(m_frame.View()->TextureNames())
                  .arg(ResidentKb())
                  .arg(OpenFds())
                  .arg(HeapKb()));
        if (m_done < m_loads) {
            // Not from inside the view's signal: the next load starts from the event loop.
            QTimer::singleShot(0, this, &Soak::Load);
        } else {
            Write(QStringLiteral("done\n"));
            m_report.close();
        }
    }

    CVellModelBrowserMainFrame& m_frame;
    int m_loads;
    QFile m_report;
    std::vector<std::pair<PakMgr::ITreeNode*, PakMgr::ITreeNode*>> m_skins;
    int m_done = 0;
    int m_fds = -1;
    int m_framesShown = 0;
    QMetaObject::Connection m_playing;
    QTimer m_timeout;
};

}  // namespace

void StartSoak(CVellModelBrowserMainFrame& frame, const QString& spec) {
    const QStringList parts = spec.split(QLatin1Char(','));
    bool ok = false;
    const int loads = parts.value(0).toInt(&ok);
    if (!ok || loads <= 0 || parts.size() != 2) {
        std::fprintf(stderr, "soak: expected LOADS,REPORT_FILE\n");
        return;
    }
    auto* soak = new Soak(frame, loads, parts.value(1));  // owned by the frame
    soak->Start();
}

}  // namespace App
