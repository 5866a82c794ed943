#include "Settings.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>

#include "Dialogs.h"

namespace App {

namespace {

constexpr const char* kRecentKey = "recentFolders";

QString FolderKey(const char* kind) {
    return QStringLiteral("folders/") + QLatin1String(kind);
}

}  // namespace

QString LastFolder(const char* kind) {
    return QSettings().value(FolderKey(kind)).toString();
}

void SetLastFolder(const char* kind, const QString& folder) {
    QSettings().setValue(FolderKey(kind), folder);
}

QString PickFolderFor(QWidget* owner, const char* kind) {
    QString folder = PickFolder(owner, LastFolder(kind));
    if (!folder.isEmpty()) {
        SetLastFolder(kind, folder);
    }
    return folder;
}

QString PickSaveFileFor(QWidget* owner, const char* kind, const QString& filter,
                        const QString& defaultSuffix, const QString& name) {
    QString start = LastFolder(kind);
    if (!name.isEmpty()) {
        start = start.isEmpty() ? name : QDir(start).filePath(name);
    }
    QString path = PickSaveFile(owner, filter, defaultSuffix, start);
    if (!path.isEmpty()) {
        SetLastFolder(kind, QFileInfo(path).absolutePath());
    }
    return path;
}

int RememberedTreeWidth(int fallback) {
    const int width = QSettings().value(QStringLiteral("window/treeWidth"), fallback).toInt();
    return width > 0 ? width : fallback;
}

void SetRememberedTreeWidth(int width) {
    QSettings().setValue(QStringLiteral("window/treeWidth"), width);
}

QStringList RecentFolders() {
    QStringList list = QSettings().value(QLatin1String(kRecentKey)).toStringList();
    while (list.size() > kRecentFolders) {
        list.removeLast();
    }
    return list;
}

void AddRecentFolder(const QString& folder) {
    QStringList list = RecentFolders();
    list.removeAll(folder);
    list.prepend(folder);
    while (list.size() > kRecentFolders) {
        list.removeLast();
    }
    QSettings().setValue(QLatin1String(kRecentKey), list);
}

void RemoveRecentFolder(const QString& folder) {
    QStringList list = RecentFolders();
    list.removeAll(folder);
    QSettings().setValue(QLatin1String(kRecentKey), list);
}

}  // namespace App
