#pragma once

#include <QString>

// The process's own temporary folder, for working files (thumbnails, pass
// logs): made on first use under the system's temporary folder with mode
// 0700 and named veltrane-<pid>-XXXXXX, removed when the process ends. A
// process that was killed cannot remove its own, so the next one removes
// those whose process is gone.
namespace PrivateFolder {

// Empty when it cannot be made. Safe from any thread.
QString path();

// name inside it; empty when there is no folder.
QString filePath(const QString &name);

// Removes the folders under root that Veltrane processes now gone left
// behind (only this user's, never through a link). Returns how many.
int removeLeftovers(const QString &root);

}
