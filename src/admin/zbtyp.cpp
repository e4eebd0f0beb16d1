#include "admin/zbtyp.h"

namespace {
ZbTyp* theZbTyp = nullptr;
}

ZbTyp* ZbTyp::instance() {
    if (!theZbTyp)
        theZbTyp = new ZbTyp();
    return theZbTyp;
}

void ZbTyp::destroyInstance() {
    delete theZbTyp;
    theZbTyp = nullptr;
}

ZbTyp::ZbTyp() { setObjectName(QStringLiteral("ZbTyp")); }

void ZbTyp::showFrame(int) {}
