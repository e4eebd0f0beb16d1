#include "app/startup.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("zelvo"));
    QApplication::setQuitOnLastWindowClosed(false);
    // Standard buttons and dialogs in Chinese, like the rest of the program.
    QTranslator qtBase;
    if (qtBase.load(QLocale(QLocale::Chinese, QLocale::China), QStringLiteral("qtbase"),
                    QStringLiteral("_"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(&qtBase);
    Main();
    return QApplication::exec();
}
