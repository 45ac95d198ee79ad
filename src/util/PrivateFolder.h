#pragma once

#include <QString>

#include <optional>

// The process's own temporary folder, for working files (thumbnails, pass
// logs): made on first use with mode 0700 and named veltrane-<pid>-XXXXXX,
// removed when the process ends. It is made under TMPDIR when that names a
// folder it can be made in, else under /tmp; never anywhere else. A process
// that was killed cannot remove its own, so the next one removes those whose
// process is gone.
namespace PrivateFolder {

// Empty when it cannot be made. Safe from any thread.
QString path();

// Why there is no folder, for the user ("Veltrane can't make its working
// folder in /tmp/x: Read-only file system"); nothing when there is one.
std::optional<QString> problem();

// name inside it; empty when there is no folder.
QString filePath(const QString &name);

// Whether path lies inside the folder (not the folder itself): the only
// places a clean-up of working files may touch.
bool holds(const QString &path);

// Removes the folders under root that Veltrane processes now gone left
// behind (only this user's, never through a link). Returns how many.
int removeLeftovers(const QString &root);

}
