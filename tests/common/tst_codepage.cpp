// Text to and from the site's code page: ASCII passes as it is where the
// code page keeps it (and only there), everything else goes through iconv
// with its replacements.
#include "common/CodePage.h"

#include <QTest>

using namespace tolva;

class TestCodePage : public QObject {
    Q_OBJECT

private slots:
    void roundTripsThroughCp950() {
        const CodePage cp(QStringLiteral("CP950"));
        QVERIFY(cp.isValid());
        // Every ASCII byte, control characters and NUL included, is itself.
        QByteArray ascii;
        for (int c = 0; c < 128; ++c)
            ascii.append(static_cast<char>(c));
        QCOMPARE(cp.decode(ascii).size(), 128);
        QCOMPARE(cp.encode(cp.decode(ascii)), ascii);
        QCOMPARE(cp.encodeUtf8(ascii), ascii);
        // Chinese text, alone and among ASCII.
        QCOMPARE(cp.encode(QStringLiteral("王小明")), QByteArray("\xA4\xFD\xA4\x70\xA9\xFA"));
        QCOMPARE(cp.decode("ID \xA4\xFD\xA4\x70\xA9\xFA;"), QStringLiteral("ID 王小明;"));
        QCOMPARE(cp.encodeUtf8(QStringLiteral("卡號\t001").toUtf8()), cp.encode(QStringLiteral("卡號\t001")));
        QCOMPARE(cp.decode(QByteArray()), QString());
        QCOMPARE(cp.encode(QString()), QByteArray());
    }

    void replacesWhatTheCodePageCannotHold() {
        const CodePage cp(QStringLiteral("CP950"));
        // A character CP950 lacks becomes "?"; a byte that starts no character, U+FFFD.
        QCOMPARE(cp.encode(QStringLiteral("a한b😀c")), QByteArray("a?b?c"));
        QCOMPARE(cp.decode("a\xFF"
                           "b"),
                 QStringLiteral("a\uFFFDb"));
        // A lead byte cut off at the end.
        QCOMPARE(cp.decode("ab\xA4"), QStringLiteral("ab\uFFFD"));
    }

    // Shift-JIS reads 0x5C as the yen sign and 0x7E as an overline: ASCII-only
    // bytes still go through iconv there.
    void aCodePageThatChangesAsciiIsStillConverted() {
        const CodePage sjis(QStringLiteral("SHIFT_JIS"));
        if (!sjis.isValid())
            QSKIP("iconv here has no SHIFT_JIS");
        QCOMPARE(sjis.decode("C:\\~"), QStringLiteral("C:\u00A5\u203E"));
        QCOMPARE(sjis.encode(QStringLiteral("C:\u00A5")), QByteArray("C:\\"));
    }
};

QTEST_GUILESS_MAIN(TestCodePage)
#include "tst_codepage.moc"
