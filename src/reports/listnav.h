#pragma once
// Moving the selection of a report list over its rule lines.

#include <QString>

#include <functional>

namespace ListNav {

// Lst_Click: where the selection goes after a click on `selected` (whose text is `line`) when
// the previous click left it at `last`; the same position when it stays. A rule line is
// stepped over in the direction of travel, except at either end of the list.
int afterClick(const QString& line, int selected, int last, int count);

// Whether Lst_Click remembers the position: not for no selection or an empty line.
bool remembers(const QString& line, int selected);

// The journal's RestoreSelection: the position to select after the list was rebuilt, given
// the remembered position `last` and the list's lines; -1 for none.
int restoreTarget(int selected, int last, int count, const std::function<QString(int)>& lineAt);

} // namespace ListNav
