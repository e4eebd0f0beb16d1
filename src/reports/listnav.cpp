#include "reports/listnav.h"

#include "reports/texttable.h"

namespace ListNav {

bool remembers(const QString& line, int selected) {
    return selected >= 0 && !line.isEmpty();
}

int afterClick(const QString& line, int selected, int last, int count) {
    if (!remembers(line, selected) || !TextTable::isRuleLine(line))
        return selected;
    if (last < selected && selected < count - 1)
        return selected + 1;
    if (selected < last && selected > 0)
        return selected - 1;
    return selected;
}

int restoreTarget(int selected, int last, int count, const std::function<QString(int)>& lineAt) {
    if (selected == last || last < 0)
        return -1;
    int k = last;
    if (k > count - 1)
        k = count - 2;
    // The rebuilt list has no selection yet: the line that now stands at the remembered place
    // decides, so a rule line there moves the selection onto the record beside it.
    if (k >= 0 && TextTable::isRuleLine(lineAt(k)))
        k = k > 3 ? k - 1 : k + 1;
    return k >= 0 && k < count - 1 ? k : -1;
}

} // namespace ListNav
