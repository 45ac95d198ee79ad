#pragma once

#include <QString>
#include <QStringList>

// What a folder brings when it is dropped or named instead of files.
namespace FolderContents {

// The regular files under folder at any depth (links to regular files too),
// as absolute paths. Each folder's entries are sorted by name the way the
// user's file manager sorts them (case aside, numbers by value), so the list
// reads in path order. Hidden files and folders, and special files, are left
// out. Linked folders are followed unless they lead back into folder or one
// of its parents, and a folder reached twice is listed once.
QStringList regularFiles(const QString &folder);

// paths with every folder replaced by its regular files; anything else stays
// as it is, in place.
QStringList withFolderContents(const QStringList &paths);

}
