#pragma once

#include <QString>

#include <optional>

// Folders as trees on file systems: what lies inside, and removing them
// without ever crossing into another file system.
namespace FileTree {

// Removes the tree at path as rm --one-file-system does: a folder mounted
// inside it is neither entered nor removed. True when nothing is left.
bool removeTree(const QString &path);

// Removes the regular file at path, but only one inside folder or the
// process's private folder: an empty, relative or stray path never reaches a
// delete. True when it was removed.
bool removeFileInside(const QString &path, const QString &folder);

// Another file system mounted on folder itself.
bool isMountPoint(const QString &folder);

// A file system mounted somewhere inside folder: where, or nothing. Read
// from the mount table and from the devices of the tree's entries.
std::optional<QString> mountInside(const QString &folder);

// Renames from to to with renameat2's flags (RENAME_NOREPLACE, RENAME_EXCHANGE);
// false with errno set.
bool renameWith(const QString &from, const QString &to, unsigned flags);

}
