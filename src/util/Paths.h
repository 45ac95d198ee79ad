#pragma once

#include <QString>

// Path pieces as a file manager names them.
namespace Paths {

// Last path component: the file name with its extension.
QString lastComponent(const QString &path);

// Text after the last '.' of the last component; empty when there is none or
// when the only dot starts the name (".profile" has no extension).
QString lastExtension(const QString &path);

// The last component without its last extension.
QString baseName(const QString &path);

// Whether path lies strictly below folder, both absolute, by their cleaned
// text (no link is followed). An empty or relative path is inside nothing:
// what a clean-up may delete is decided here.
bool isInside(const QString &path, const QString &folder);

// path is folder, or inside it.
bool isSameOrInside(const QString &path, const QString &folder);

}
