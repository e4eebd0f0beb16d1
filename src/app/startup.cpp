#include "app/startup.h"

#include "app/mainbas.h"
#include "app/shell.h"
#include "app/start.h"
#include "main_window/kuang.h"

#include <QCoreApplication>

void Main() {
    MainBas::initFixedValues(QCoreApplication::applicationDirPath());
    installWaitCursor();
    Start::instance()->show();
    DoEvents(4);
    Kuang* kuang = Kuang::instance();
    kuang->show();
    DoEvents(1);
    Start::unload();
}
