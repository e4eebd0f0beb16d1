#include "app/callwait.h"

#include "app/twips.h"
#include "db/sqlaccess.h"

#include <QApplication>
#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QTimer>
#include <QWidget>

#include <vector>

namespace CallWait {

namespace {

constexpr int kCancelAfterMs = 1000;

bool isInput(QEvent::Type type) {
    switch (type) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove:
    case QEvent::Wheel:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::ShortcutOverride:
    case QEvent::Shortcut:
    case QEvent::InputMethod:
    case QEvent::ContextMenu:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
    case QEvent::TabletPress:
    case QEvent::TabletRelease:
    case QEvent::DragEnter:
    case QEvent::Drop:
        return true;
    default:
        return false;
    }
}

class Guard : public QObject {
public:
    QPointer<QWidget> mainWindow;
    std::function<void()> endProgram;
    std::vector<QPointer<QWidget>> allowed;
    QPointer<QWidget> banner;
    int depth = 0;
    int generation = 0;

    void begin() {
        if (depth++ == 0)
            qApp->installEventFilter(this);
        const int mine = ++generation;
        QTimer::singleShot(kCancelAfterMs, this, [this, mine] {
            if (depth > 0 && generation == mine && !banner)
                showCancel();
        });
    }

    void end() {
        ++generation; // an outer call that goes on waiting starts its second afresh
        if (--depth > 0)
            return;
        qApp->removeEventFilter(this);
        if (banner) {
            banner->hide();
            banner->deleteLater();
        }
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (!watched->isWidgetType())
            return false; // the window system's windows pass input on to their widgets
        auto* widget = static_cast<QWidget*>(watched);
        if (event->type() == QEvent::Close && event->spontaneous() && widget->isWindow()) {
            event->ignore();
            if (widget == mainWindow && endProgram) {
                Db::cancelWaitingCall();
                endProgram();
            }
            return true;
        }
        if (!isInput(event->type()) || passes(widget))
            return false;
        return true;
    }

private:
    bool passes(QWidget* widget) const {
        if (banner && (widget == banner || banner->isAncestorOf(widget)))
            return true;
        for (const QPointer<QWidget>& w : allowed)
            if (w && (widget == w || w->isAncestorOf(widget)))
                return true;
        return false;
    }

    // The window the user looks at: the modal one, else the active one, else the main window.
    QWidget* host() const {
        if (QWidget* modal = QApplication::activeModalWidget())
            return modal;
        if (QWidget* active = QApplication::activeWindow())
            return active;
        return mainWindow && mainWindow->isVisible() ? mainWindow.data() : nullptr;
    }

    static QPushButton* shownWaitBanner(QWidget* window) {
        for (QPushButton* b : window->findChildren<QPushButton*>(QStringLiteral("CmdWait")))
            if (b->isVisible())
                return b;
        return nullptr;
    }

    void showCancel() {
        QWidget* window = host();
        if (!window)
            return; // nothing on the screen waits
        QPushButton* waitBanner = shownWaitBanner(window);
        // A window of its own over the banner: the action may have disabled its window, and a
        // disabled window's children take no click.
        auto* b = new QWidget(window, Qt::Tool | Qt::FramelessWindowHint);
        b->setObjectName(QStringLiteral("CallWaitBanner"));
        b->setAttribute(Qt::WA_DeleteOnClose);
        b->setStyleSheet(QStringLiteral("#CallWaitBanner { background: #fff8d0; border: 1px "
                                        "solid #c8a800; }"));
        auto* row = new QHBoxLayout(b);
        row->setContentsMargins(Twips::tw(60), Twips::tw(30), Twips::tw(60), Twips::tw(30));
        if (!waitBanner) {
            auto* text = new QLabel(ownBannerText(), b);
            text->setObjectName(QStringLiteral("LabCallWait"));
            row->addWidget(text);
        }
        auto* cancel = new QPushButton(cancelText(), b);
        cancel->setObjectName(QStringLiteral("CmdWaitCancel"));
        cancel->setCursor(Qt::ArrowCursor);
        connect(cancel, &QPushButton::clicked, this, [] { Db::cancelWaitingCall(); });
        row->addWidget(cancel);
        b->adjustSize();
        if (waitBanner) {
            const QRect r(waitBanner->mapToGlobal(QPoint(0, 0)), waitBanner->size());
            b->move(r.right() - b->width() + 1, r.top() + (r.height() - b->height()) / 2);
        } else {
            const QRect r = window->geometry();
            b->move(r.x() + (r.width() - b->width()) / 2, r.y() + r.height() / 3);
        }
        b->show();
        b->setEnabled(true); // a window stays usable inside a disabled one
        b->raise();
        banner = b;
    }
};

Guard* guard() {
    static Guard* g = new Guard;
    return g;
}

} // namespace

void install() {
    Guard* g = guard();
    Db::setWaitHandlers([g] { g->begin(); }, [g] { g->end(); });
}

void setMainWindow(QWidget* window, std::function<void()> endProgram) {
    guard()->mainWindow = window;
    guard()->endProgram = std::move(endProgram);
}

void allowDuringWait(QWidget* widget) {
    guard()->allowed.emplace_back(widget);
}

QString ownBannerText() {
    return QStringLiteral("正在连接服务器……");
}

QString cancelText() {
    return QStringLiteral("取消");
}

} // namespace CallWait
