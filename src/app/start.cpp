#include "app/start.h"

#include "app/mainbas.h"

#include <QApplication>
#include <QScreen>
#include <QVBoxLayout>

namespace {
Start* theStart = nullptr;
}

Start* Start::instance() {
    if (!theStart)
        theStart = new Start();
    return theStart;
}

void Start::unload() {
    if (!theStart)
        return;
    theStart->Form_Unload();
    theStart->close();
    theStart->deleteLater();
    theStart = nullptr;
}

Start::Start() : QWidget(nullptr, Qt::SplashScreen | Qt::FramelessWindowHint) {
    setObjectName(QStringLiteral("Start"));
    setAttribute(Qt::WA_DeleteOnClose, false);
    auto* layout = new QVBoxLayout(this);
    lab_ = new QLabel(this);
    lab_->setObjectName(QStringLiteral("Lab"));
    lab_->setAlignment(Qt::AlignCenter);
    QFont f = lab_->font();
    f.setPointSize(f.pointSize() + 2);
    lab_->setFont(f);
    layout->addWidget(lab_);
    setStyleSheet(QStringLiteral("Start { background: #f4f8ff; border: 1px solid #8aa8d8; }"));
    resize(420, 110);
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
    Form_Load();
}

void Start::Form_Load() {
    lab_->setText(MainBas::splashText());
    setCursor(Qt::WaitCursor);
}

void Start::Form_Unload() {
    unsetCursor();
}
