#pragma once

#include <QIcon>
#include <QString>

// The program's icon, drawn so that no image file has to be found at run time.
QIcon appIcon();
// The help page installed with the program (or, in a build tree, next to the binary).
QString helpPagePath();
