#include "main_window/kuang.h"

namespace {
Kuang* theKuang = nullptr;
}

Kuang* Kuang::instance() {
    if (!theKuang)
        theKuang = new Kuang();
    return theKuang;
}

void Kuang::destroyInstance() {
    delete theKuang;
    theKuang = nullptr;
}

Kuang::Kuang() { setObjectName(QStringLiteral("Kuang")); }
