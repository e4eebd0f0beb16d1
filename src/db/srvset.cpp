#include "db/srvset.h"

#include "app/msgbox.h"
#include "app/settings.h"
#include "app/twips.h"
#include "db/ledgermove.h"
#include "db/secure.h"
#include "db/serverprobe.h"
#include "db/serversettings.h"

#include <QApplication>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStandardItemModel>

using Twips::indexed;
using Twips::named;
using Twips::place;

namespace {

// The engines in the order of CmbLX.
const Db::Engine kEngines[] = {Db::Engine::Sqlite, Db::Engine::Postgres, Db::Engine::Odbc};

int engineIndex(Db::Engine e) {
    for (int i = 0; i < 3; ++i)
        if (kEngines[i] == e)
            return i;
    return 0;
}

QLabel* caption(QWidget* parent, const QString& text, int top) {
    auto* l = new QLabel(text, parent);
    place(l, 240, top, 1500, 330);
    return l;
}

// The installed script an administrator runs by hand, or the one beside the sources.
QString scriptPath(Db::Engine dialect) {
    const QString file = dialect == Db::Engine::Postgres ? QStringLiteral("postgresql.sql")
                                                         : QStringLiteral("sqlserver.sql");
    const QString installed = QDir::cleanPath(QCoreApplication::applicationDirPath() +
                                              QStringLiteral("/../share/zelvo/schema/") + file);
    return installed;
}

} // namespace

SrvSet::SrvSet(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("SrvSet"));
    setWindowTitle(QStringLiteral("服务器设置"));
    setModal(true);
    const QString captions[] = {QStringLiteral("数据库："),    QStringLiteral("服务器地址："),
                                QStringLiteral("登录名："),    QStringLiteral("密码："),
                                QStringLiteral("数据库名："),  QStringLiteral("加密："),
                                QStringLiteral("CA证书文件：")};
    for (int i = 0; i < 7; ++i)
        caption(this, captions[i], 240 + i * 480);
    CmbLX = named(new QComboBox(this), QStringLiteral("CmbLX"));
    CmbLX->addItems(
        {QStringLiteral("内置数据库"), QStringLiteral("PostgreSQL"), QStringLiteral("SQL Server")});
    TxtSrv = named(new QLineEdit(this), QStringLiteral("TxtSrv"));
    TxtSrv->setPlaceholderText(QStringLiteral("主机 或 主机,端口"));
    TxtUid = named(new QLineEdit(this), QStringLiteral("TxtUid"));
    TxtPwd = named(new QLineEdit(this), QStringLiteral("TxtPwd"));
    Msg::starEcho(TxtPwd);
    TxtDb = named(new QLineEdit(this), QStringLiteral("TxtDb"));
    CmbSsl = named(new QComboBox(this), QStringLiteral("CmbSsl"));
    CmbSsl->addItems({QStringLiteral("不加密"), QStringLiteral("优先加密"),
                      QStringLiteral("必须加密"), QStringLiteral("验证服务器证书")});
    TxtCa = named(new QLineEdit(this), QStringLiteral("TxtCa"));
    QWidget* fields[] = {CmbLX, TxtSrv, TxtUid, TxtPwd, TxtDb, CmbSsl, TxtCa};
    for (int i = 0; i < 7; ++i)
        place(fields[i], 1800, 210 + i * 480, 4200, 390);
    const QString buttons[] = {QStringLiteral("测试连接"), QStringLiteral("保存"),
                               QStringLiteral("取消"), QStringLiteral("恢复默认")};
    for (int i = 0; i < 4; ++i) {
        Cmd[i] = named(new QPushButton(buttons[i], this), indexed("Cmd", i));
        Cmd[i]->setAutoDefault(false);
        place(Cmd[i], 240 + i * 1470, 3720, 1350, 450);
        connect(Cmd[i], &QPushButton::clicked, this, [this, i] { Cmd_Click(i); });
    }
    LabWait = named(new QLabel(QStringLiteral("正在连接服务器，请稍候……"), this),
                    QStringLiteral("LabWait"));
    LabWait->setAlignment(Qt::AlignCenter);
    LabWait->setStyleSheet(QStringLiteral("background: #fff8d0; border: 1px solid #c8a800;"));
    place(LabWait, 1200, 1500, 3900, 600);
    LabWait->hide();
    setFixedSize(Twips::tw(6300), Twips::tw(4400));
    connect(CmbLX, &QComboBox::currentIndexChanged, this, &SrvSet::CmbLX_Click);
    connect(CmbSsl, &QComboBox::currentIndexChanged, this, &SrvSet::CmbLX_Click);
    showValues(ServerSettings::load().connection);
}

Db::Connection SrvSet::values() const {
    Db::Connection c;
    c.engine = kEngines[qMax(0, CmbLX->currentIndex())];
    c.server = TxtSrv->text().trimmed();
    c.login = TxtUid->text().trimmed();
    c.password = TxtPwd->text();
    c.database = TxtDb->text().trimmed();
    c.encryption = static_cast<Db::Encryption>(qMax(0, CmbSsl->currentIndex()));
    c.caFile = TxtCa->text().trimmed();
    return c;
}

void SrvSet::showValues(const Db::Connection& c) {
    CmbLX->setCurrentIndex(engineIndex(c.engine));
    TxtSrv->setText(c.server);
    TxtUid->setText(c.login);
    TxtPwd->setText(c.password);
    TxtDb->setText(c.database);
    CmbSsl->setCurrentIndex(static_cast<int>(c.encryption));
    TxtCa->setText(c.caFile);
    CmbLX_Click();
}

// Only what the chosen engine uses can be typed.
void SrvSet::CmbLX_Click() {
    const Db::Engine e = kEngines[qMax(0, CmbLX->currentIndex())];
    const bool server = e != Db::Engine::Sqlite;
    for (QWidget* w : std::initializer_list<QWidget*>{TxtSrv, TxtUid, TxtPwd, CmbSsl})
        w->setEnabled(server);
    TxtCa->setEnabled(e == Db::Engine::Postgres &&
                      CmbSsl->currentIndex() ==
                          static_cast<int>(Db::Encryption::VerifyCertificate));
}

void SrvSet::Cmd_Click(int index) {
    switch (index) {
    case 0:
        testConnection();
        break;
    case 1:
        if (picking_) {
            acceptTarget();
            break;
        }
        ServerSettings::save(values());
        Db::switchServer(values());
        accept();
        break;
    case 2:
        reject();
        break;
    default:
        // The administrator's file where there is one: saved unchanged, it is followed again.
        showValues(ServerSettings::defaults().connection);
        break;
    }
}

void SrvSet::pickTarget(Pick kind, const QString& okCaption) {
    picking_ = true;
    pick_ = kind;
    Cmd[1]->setText(okCaption);
    Cmd[3]->hide();
    if (kind == Pick::Embedded) {
        Db::Connection local;
        local.database = Db::builtInConnection().engine == Db::Engine::Sqlite
                             ? Db::builtInConnection().database
                             : QStringLiteral("云记账");
        showValues(local);
        CmbLX->setEnabled(false);
        return;
    }
    if (auto* model = qobject_cast<QStandardItemModel*>(CmbLX->model()))
        model->item(0)->setEnabled(false);
    if (values().engine == Db::Engine::Sqlite) {
        const Db::Connection built = Db::builtInConnection();
        if (built.engine != Db::Engine::Sqlite)
            showValues(built);
        else
            CmbLX->setCurrentIndex(engineIndex(Db::Engine::Postgres));
    }
}

void SrvSet::acceptTarget() {
    const bool embedded = values().engine == Db::Engine::Sqlite;
    if (pick_ == Pick::Server && embedded) {
        Msg::info(LedgerMove::chooseServerFirst());
        return;
    }
    if (pick_ == Pick::Embedded && !embedded) {
        Msg::info(LedgerMove::chooseEmbeddedFirst());
        return;
    }
    if (pick_ == Pick::Server && !testConnection(true))
        return;
    accept();
}

bool SrvSet::testConnection(bool quietOnSuccess) {
    LabWait->show();
    LabWait->raise();
    setEnabled(false);
    QApplication::setOverrideCursor(Qt::WaitCursor);
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    const ServerProbe::Result r = ServerProbe::probe(values());
    QApplication::restoreOverrideCursor();
    setEnabled(true);
    LabWait->hide();
    if (r.stopped)
        return false;
    if (quietOnSuccess && r.failure == ServerProbe::Failure::None)
        return true;
    Msg::box(ServerProbe::message(r),
             r.failure == ServerProbe::Failure::None ? QMessageBox::Information
                                                     : QMessageBox::Warning,
             ServerProbe::title());
    return r.failure == ServerProbe::Failure::None;
}

SrvSet::Offer SrvSet::offerTables() {
    // Only a server that answered can say that its tables are missing; one that could not be
    // reached is not asked again within the same action.
    if (Db::lastFailure() != Db::Failure::Refused)
        return Offer::NotAsked;
    bool reached = false;
    const QStringList missing = Db::missingTables(&reached);
    if (!reached || missing.isEmpty())
        return Offer::NotAsked;
    if (Msg::box(ServerProbe::askCreateTables(), QMessageBox::Question, QString(),
                 QMessageBox::Yes | QMessageBox::No, QMessageBox::No) != QMessageBox::Yes)
        return Offer::Answered;
    // A PostgreSQL server gets its guards with its tables, in the same transaction, and this
    // computer leaves the owner's login for the guest's.
    const bool secure = Db::currentEngine() == Db::Engine::Postgres;
    const QString guestPassword = secure ? ServerProbe::newGuestPassword() : QString();
    QString script = Db::schemaScript();
    if (secure) {
        // Sent as a verifier, so the guest's password is in no statement and no server log.
        const QString verifier = Db::encryptPassword(guestPassword, QStringLiteral("zelvo_guest"));
        script += QLatin1Char('\n') + Db::secureSchemaScript() +
                  QStringLiteral("\nalter role zelvo_guest with login password '") +
                  SqlStr(verifier.isEmpty() ? guestPassword : verifier) + QStringLiteral("';\n");
    }
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const QString result = Db::runScript(script);
    QApplication::restoreOverrideCursor();
    if (result != QLatin1String("OK")) {
        Msg::info(ServerProbe::createFailed(result, scriptPath(Db::currentDialect())));
        return Offer::Answered;
    }
    if (secure) {
        Db::Connection guest = Db::connection();
        guest.login = QStringLiteral("zelvo_guest");
        guest.password = guestPassword;
        ServerSettings::save(guest);
        Db::switchServer(guest);
        Db::forgetSecureServers();
        Msg::info(ServerProbe::secureSetUp(Settings::filePath(), ServerSettings::systemFilePath()));
    }
    return Offer::Made;
}
