// The settings store: any text is a safe name, values survive a restart, the file is private.
#include "app/settings.h"
#include "testsupport.h"

#include <QSettings>

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <vector>

namespace {

// Names that INI files and QSettings treat specially, or that an escape could turn into each
// other.
const QStringList kNames = {
    QString(),
    QStringLiteral("General"),
    QStringLiteral("general"),
    QStringLiteral("%General"),
    QStringLiteral("/"),
    QStringLiteral("a/b"),
    QStringLiteral("a\\b"),
    QStringLiteral("a%2Fb"),
    QStringLiteral("a%5Cb"),
    QStringLiteral("%"),
    QStringLiteral("%25"),
    QStringLiteral("#"),
    QStringLiteral("="),
    QStringLiteral("k=v"),
    QStringLiteral("["),
    QStringLiteral("]"),
    QStringLiteral("[x]"),
    QStringLiteral(";"),
    QStringLiteral(" "),
    QStringLiteral("  "),
    QStringLiteral(" lead"),
    QStringLiteral("trail "),
    QStringLiteral("line\nbreak"),
    QStringLiteral("\""),
    QStringLiteral("云记账"),
    QStringLiteral("13800138000"),
    QStringLiteral("FR"),
};

int fileMode(const QString& path) {
    struct stat st {};
    if (stat(path.toLocal8Bit().constData(), &st) != 0)
        return -1;
    return static_cast<int>(st.st_mode & 07777);
}

} // namespace

TEST(Settings, AnyTextIsASafeNameAndValuesSurviveARestart) {
    TestSupport::Sandbox box;
    struct Address {
        QString app, section, key;
    };
    std::vector<Address> addresses;
    for (const QString& name : kNames) {
        addresses.push_back({name, QStringLiteral("FR"), QStringLiteral("Ledger")});
        addresses.push_back({Settings::kApp, name, QStringLiteral("Ledger")});
        addresses.push_back({Settings::kApp, QStringLiteral("FR"), name});
        addresses.push_back({name, name, name});
    }
    // Splits that a careless escape would turn into the same path.
    const QString a = QStringLiteral("a"), b = QStringLiteral("b"), c = QStringLiteral("c");
    for (const Address& tricky : std::vector<Address>{{a, QStringLiteral("b/c"), c},
                                                      {QStringLiteral("a/b"), c, c},
                                                      {a, b, QStringLiteral("c/c")},
                                                      {a, QStringLiteral("b\\c"), c},
                                                      {QStringLiteral("a\\b"), c, c},
                                                      {a, b, c}})
        addresses.push_back(tricky);

    for (size_t i = 0; i < addresses.size(); ++i)
        Settings::SaveSetting(addresses[i].app, addresses[i].section, addresses[i].key,
                              QStringLiteral("值%1").arg(i));

    // A fresh store reads what the file holds, not what the first one kept in memory.
    box.useSettings(QStringLiteral("zelvo.ini"));
    for (size_t i = 0; i < addresses.size(); ++i) {
        const Address& at = addresses[i];
        EXPECT_EQ(Settings::GetSetting(at.app, at.section, at.key).toStdString(),
                  QStringLiteral("值%1").arg(i).toStdString())
            << "app [" << at.app.toStdString() << "] section [" << at.section.toStdString()
            << "] key [" << at.key.toStdString() << "]";
    }

    // Nothing nested into extra entries or merged: one INI entry per address.
    QSettings raw(Settings::filePath(), QSettings::IniFormat);
    EXPECT_EQ(raw.allKeys().size(), static_cast<int>(addresses.size()));
}

TEST(Settings, GeneralInAnyCaseStaysApartInABigFile) {
    TestSupport::Sandbox box;
    // QSettings reads a big file differently from a small one; the clash only showed there.
    for (int i = 0; i < 600; ++i)
        Settings::SaveSetting(Settings::kApp, QStringLiteral("FR"), QString::number(i),
                              QStringLiteral("x"));
    const QStringList generals = {QStringLiteral("General"), QStringLiteral("general"),
                                  QStringLiteral("GENERAL"), QStringLiteral("%General")};
    for (int i = 0; i < generals.size(); ++i)
        Settings::SaveSetting(generals[i], QStringLiteral("s"), QStringLiteral("k"),
                              QString::number(i));
    box.useSettings(QStringLiteral("zelvo.ini"));
    for (int i = 0; i < generals.size(); ++i)
        EXPECT_EQ(Settings::GetSetting(generals[i], QStringLiteral("s"), QStringLiteral("k"))
                      .toStdString(),
                  QString::number(i).toStdString())
            << generals[i].toStdString();
    EXPECT_EQ(Settings::GetSetting(Settings::kApp, QStringLiteral("FR"), QStringLiteral("599"))
                  .toStdString(),
              "x");
}

TEST(Settings, ValuesAreKeptExactlyAndMissingOnesReadEmpty) {
    TestSupport::Sandbox box;
    EXPECT_EQ(Settings::GetSetting(Settings::kApp, QStringLiteral("FR"), QStringLiteral("无")), "");

    const QStringList values = {
        QStringLiteral("1"),
        QStringLiteral(" padded "),
        QStringLiteral("a,b;c=d#e"),
        QStringLiteral("13800138000|我的账本|13900139000|家庭"),
        QStringLiteral("v\n[General]\nAutoOpen=1"),
        QStringLiteral("@Invalid()"),
        QStringLiteral("true"),
        QStringLiteral("𠀀 云"),
    };
    for (int i = 0; i < values.size(); ++i)
        Settings::SaveSetting(Settings::kApp, QStringLiteral("FR"), QString::number(i), values[i]);
    box.useSettings(QStringLiteral("zelvo.ini"));
    for (int i = 0; i < values.size(); ++i)
        EXPECT_EQ(Settings::GetSetting(Settings::kApp, QStringLiteral("FR"), QString::number(i))
                      .toStdString(),
                  values[i].toStdString());
    // The injected lines did not become settings of their own.
    EXPECT_EQ(
        Settings::GetSetting(Settings::kApp, QStringLiteral("General"), QStringLiteral("AutoOpen")),
        "");
    QSettings raw(Settings::filePath(), QSettings::IniFormat);
    EXPECT_EQ(raw.allKeys().size(), values.size());

    // Overwriting replaces, and an empty value reads like a missing one.
    Settings::SaveSetting(Settings::kApp, QStringLiteral("FR"), QStringLiteral("0"), QString());
    EXPECT_EQ(Settings::GetSetting(Settings::kApp, QStringLiteral("FR"), QStringLiteral("0")), "");

    // Another computer's store does not see these values.
    box.useSettings(QStringLiteral("other.ini"));
    EXPECT_EQ(Settings::GetSetting(Settings::kApp, QStringLiteral("FR"), QStringLiteral("1")), "");
}

TEST(Settings, FileIsReadableByItsOwnerOnly) {
    TestSupport::Sandbox box;
    const mode_t old = umask(0);
    box.useSettings(QStringLiteral("read-first.ini"));
    EXPECT_EQ(Settings::GetSetting(Settings::kApp, QStringLiteral("a"), QStringLiteral("b")), "");
    EXPECT_EQ(fileMode(Settings::filePath()), 0600);

    box.useSettings(QStringLiteral("sub/dir/write-first.ini"));
    Settings::SaveSetting(Settings::kApp, QStringLiteral("a"), QStringLiteral("b"),
                          QStringLiteral("口令"));
    EXPECT_EQ(fileMode(Settings::filePath()), 0600);
    Settings::SaveSetting(Settings::kApp, QStringLiteral("a"), QStringLiteral("c"),
                          QStringLiteral("口令"));
    EXPECT_EQ(fileMode(Settings::filePath()), 0600);

    // A file left readable by an older run is closed up when the store opens it.
    const QString loose = box.path(QStringLiteral("loose.ini"));
    {
        QSettings seed(loose, QSettings::IniFormat);
        seed.setValue(QStringLiteral("x"), 1);
    }
    chmod(loose.toLocal8Bit().constData(), 0644);
    box.useSettings(QStringLiteral("loose.ini"));
    EXPECT_EQ(Settings::GetSetting(Settings::kApp, QStringLiteral("a"), QStringLiteral("b")), "");
    EXPECT_EQ(fileMode(loose), 0600);
    umask(old);
}
