#include "app/startup.h"

#include "app/callwait.h"
#include "app/mainbas.h"
#include "app/shell.h"
#include "app/start.h"
#include "db/serversettings.h"
#include "main_window/appicon.h"
#include "main_window/kuang.h"

#include <QCoreApplication>
#include <QSaveFile>
#include <QTextStream>

namespace {
// A launcher without a screen (the package check) learns here that the main window stands:
// ZELVO_REPORT_READY names a file that gets the window, its panel and the help page it found.
void reportReady(const Kuang* kuang) {
    const QString path = qEnvironmentVariable("ZELVO_REPORT_READY");
    if (path.isEmpty())
        return;
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Text))
        return;
    QTextStream out(&file);
    out << "window=" << kuang->objectName() << "\npanel=" << kuang->PanelNo
        << "\nvisible=" << int(kuang->isVisible()) << "\nhelp=" << helpPagePath() << '\n';
    out.flush();
    file.commit();
}
} // namespace

void Main() {
    MainBas::initFixedValues(QCoreApplication::applicationDirPath());
    Db::setConnection(ServerSettings::load().connection);
    installWaitCursor();
    CallWait::install();
    Start::instance()->show();
    DoEvents(4);
    Kuang* kuang = Kuang::instance();
    kuang->show();
    DoEvents(1);
    Start::unload();
    reportReady(kuang);
}
