// What the program remembers between runs, in the platform's usual settings place: the
// window's layout, the recent game folders and the folder last used for each kind of work.
#pragma once

#include <QString>
#include <QStringList>

class QWidget;

namespace App {

inline constexpr int kRecentFolders = 8;

// Kinds of work that remember their folder.
inline constexpr const char* kGameFolderKind = "game";
inline constexpr const char* kFileExportKind = "export";
inline constexpr const char* kObjExportKind = "obj";
inline constexpr const char* kGltfExportKind = "gltf";
inline constexpr const char* kFbxExportKind = "fbx";
inline constexpr const char* kFramesExportKind = "frames";
inline constexpr const char* kFileListKind = "filelist";
inline constexpr const char* kScreenshotKind = "screenshot";
inline constexpr const char* kMovieKind = "movie";
inline constexpr const char* kTextureKind = "texture";
inline constexpr const char* kCompareFolderKind = "compare";

QString LastFolder(const char* kind);
void SetLastFolder(const char* kind, const QString& folder);

// The folder picker and the save dialog, opening in the folder last used for `kind` and
// remembering the one chosen; the save dialog proposes `name` when given.
QString PickFolderFor(QWidget* owner, const char* kind);
QString PickSaveFileFor(QWidget* owner, const char* kind, const QString& filter,
                        const QString& defaultSuffix, const QString& name = {});

// The tree pane's width as last left, or `fallback`.
int RememberedTreeWidth(int fallback);
void SetRememberedTreeWidth(int width);

// Game folders, the latest first, at most kRecentFolders.
QStringList RecentFolders();
void AddRecentFolder(const QString& folder);
void RemoveRecentFolder(const QString& folder);

}  // namespace App
