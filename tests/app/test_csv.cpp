// CSV export: report lines appended as GB18030 text with CR LF, earlier content kept.
#include "app/csv.h"
#include "testsupport.h"

#include <QFile>

#include <gtest/gtest.h>

namespace {

QByteArray readAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QByteArray hex(const char* digits) {
    return QByteArray::fromHex(digits);
}

} // namespace

TEST(Csv, ShownLinesBecomeCommaSeparated) {
    EXPECT_EQ(csvLineOf(QStringLiteral("2014-03-05│苹果│10│")).toStdString(),
              "2014-03-05,苹果,10,");
    EXPECT_EQ(csvLineOf(QStringLiteral("│")).toStdString(), ",");
    // Rule lines and the other box characters are not separators.
    EXPECT_EQ(csvLineOf(QStringLiteral("───┼───")).toStdString(), "───┼───");
    EXPECT_EQ(csvLineOf(QStringLiteral("a|b")).toStdString(), "a|b");
}

TEST(Csv, AppendsGb18030LinesWithCrLfAndKeepsEarlierContent) {
    TestSupport::Sandbox box;
    const QString path = box.path(QStringLiteral("导出.csv"));

    ASSERT_TRUE(appendCsvLines(path, {QStringLiteral("日期,苹果"), QStringLiteral("10")}));
    // 日 C8D5, 期 C6DA, 苹 C6BB, 果 B9FB.
    const QByteArray first = hex("c8d5c6da2c") + hex("c6bbb9fb") + "\r\n10\r\n";
    EXPECT_EQ(readAll(path).toHex().toStdString(), first.toHex().toStdString());

    // A second export goes after the first; a character outside GBK takes four bytes.
    ASSERT_TRUE(appendCsvLines(path, {QStringLiteral("𠀀,-0.25"), QString()}));
    const QByteArray second = hex("95328236") + ",-0.25\r\n\r\n";
    EXPECT_EQ(readAll(path).toHex().toStdString(), (first + second).toHex().toStdString());

    // Nothing to write still leaves the file as it was.
    ASSERT_TRUE(appendCsvLines(path, {}));
    EXPECT_EQ(readAll(path).size(), first.size() + second.size());

    // A file someone else wrote keeps its bytes, even without a final line end.
    const QString other = box.path(QStringLiteral("other.csv"));
    {
        QFile seed(other);
        ASSERT_TRUE(seed.open(QIODevice::WriteOnly));
        seed.write("head");
    }
    ASSERT_TRUE(appendCsvLines(other, {QStringLiteral("云")}));
    EXPECT_EQ(readAll(other).toHex().toStdString(),
              (QByteArray("head") + hex("d4c6") + "\r\n").toHex().toStdString());

    EXPECT_FALSE(
        appendCsvLines(box.path(QStringLiteral("no/such/folder/x.csv")), {QStringLiteral("x")}));
}
