// Receipt column text, external programs and file tests.
#include "common/Utilities.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace tolva;

class TestUtilities : public QObject {
    Q_OBJECT

    CodePage m_cp{QStringLiteral("CP950")};

private slots:
    void padTextToBytes_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("width");
        QTest::addColumn<QString>("padded");
        QTest::newRow("chinese padded") << "中文" << 6 << "中文  ";
        QTest::newRow("chinese exact") << "中文" << 4 << "中文";
        QTest::newRow("second character cut in half") << "中文" << 3 << QStringLiteral("中\uFFFD");
        QTest::newRow("ascii cut") << "ABCDEF" << 4 << "ABCD";
        QTest::newRow("mixed") << "A中B" << 5 << "A中B ";
        QTest::newRow("empty") << "" << 3 << "   ";
        QTest::newRow("zero width") << "abc" << 0 << "";
    }
    void padTextToBytes() {
        QFETCH(QString, text);
        QFETCH(int, width);
        QFETCH(QString, padded);
        const QString got = PadTextB(m_cp, text, width);
        QCOMPARE(got, padded);
        // Whatever was cut, the column is exactly width bytes on the printer.
        QCOMPARE(m_cp.encode(got).size(), qsizetype(width));
    }

    void pathSeparators() {
        QCOMPARE(AddPathSep(QString(), QStringLiteral("\\")), QString());
        QCOMPARE(AddPathSep(QStringLiteral("C:\\POS\\"), QStringLiteral("\\")), QStringLiteral("C:\\POS\\"));
        QCOMPARE(AddPathSep(QStringLiteral("/srv/pos"), QStringLiteral("/")), QStringLiteral("/srv/pos/"));
        QCOMPARE(AddPathSep(QStringLiteral("/srv/pos"), QString()), QStringLiteral("/srv/pos"));
    }

    void fileTests() {
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("收據.txt"));
        QFile f(file);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.close();
        QVERIFY(IsDirectory(dir.path()));
        QVERIFY(!IsFileExist(dir.path()));
        QVERIFY(IsFileExist(file));
        QVERIFY(!IsDirectory(file));
        const QString missing = dir.filePath(QStringLiteral("missing"));
        QVERIFY(!IsDirectory(missing));
        QVERIFY(!IsFileExist(missing));
        QVERIFY(!IsDirectory(QString()));
        QVERIFY(!IsFileExist(QString()));
    }

    void shellWaitExitCodes() {
        QTemporaryDir dir;
        const QString marker = dir.filePath(QStringLiteral("done"));
        // The call returns only after the program has ended.
        QCOMPARE(ShellWait(QStringLiteral("sh"),
                           {QStringLiteral("-c"), QStringLiteral("echo x > \"$0\"; exit 0"), marker}),
                 0);
        QVERIFY(QFile::exists(marker));
        QCOMPARE(ShellWait(QStringLiteral("sh"), {QStringLiteral("-c"), QStringLiteral("exit 1")}, 99), 1);
        QCOMPARE(ShellWait(QStringLiteral("sh"), {QStringLiteral("-c"), QStringLiteral("exit 255")}), 255);
        QCOMPARE(ShellWait(QStringLiteral("sh"), {QStringLiteral("-c"), QStringLiteral("kill -9 $$")}), -1);
    }

    void shellWaitStartFailures() {
        const int missing = ShellWait(QStringLiteral("no-such-program-tolva"), {});
        QVERIFY(missing < 0);
        QCOMPARE(missing, kShellStartFailure + 2);
        QTemporaryDir dir;
        const QString plain = dir.filePath(QStringLiteral("not-executable"));
        QFile f(plain);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("#!/bin/sh\nexit 0\n");
        f.close();
        QCOMPARE(ShellWait(plain, {}), kShellStartFailure + 13);
        QCOMPARE(ShellWait(dir.path(), {}), kShellStartFailure + 13);
    }
};

QTEST_GUILESS_MAIN(TestUtilities)
#include "tst_utilities.moc"
