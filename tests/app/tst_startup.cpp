// The real TOLVA executable: one copy per user, and the embedded database
// created beside the program at the first start.
#include "support/ChildProcess.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

class TestStartup : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_runtime;

    // A copy of the program with the default INI in a folder of its own.
    QString installCopy() {
        const QString bin = qEnvironmentVariable("TOLVA_BIN_DIR");
        const QString folder = m_dir.filePath(QStringLiteral("bin"));
        QDir().mkpath(folder);
        QFile::copy(bin + QStringLiteral("/TOLVA"), folder + QStringLiteral("/TOLVA"));
        QFile::copy(bin + QStringLiteral("/TOLVA.INI"), folder + QStringLiteral("/TOLVA.INI"));
        QFile::setPermissions(folder + QStringLiteral("/TOLVA"),
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        return folder;
    }

    QProcessEnvironment environment() const {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), m_runtime);
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), m_dir.filePath(QStringLiteral("config")));
        return env;
    }

private slots:
    void initTestCase() {
        m_runtime = m_dir.filePath(QStringLiteral("runtime"));
        QDir().mkpath(m_runtime);
        QFile::setPermissions(m_runtime, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }

    void secondCopyEndsSilentlyAndDatabaseIsCreated() {
        const QString folder = installCopy();
        QProcess first;
        first.setProcessEnvironment(environment());
        endWithTestProcess(first);
        first.start(folder + QStringLiteral("/TOLVA"), {});
        QVERIFY(first.waitForStarted());
        // The first copy holds the lock once its start-up has created the database.
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(folder + QStringLiteral("/TOLVA.db")), 20000);

        QProcess second;
        second.setProcessEnvironment(environment());
        endWithTestProcess(second);
        second.start(folder + QStringLiteral("/TOLVA"), {});
        QVERIFY(second.waitForFinished(20000));
        QCOMPARE(second.exitStatus(), QProcess::NormalExit);
        QCOMPARE(second.exitCode(), 0);
        QCOMPARE(second.readAllStandardError(), QByteArray());
        QCOMPARE(first.state(), QProcess::Running);

        first.terminate();
        QVERIFY(first.waitForFinished(20000));
        // The start wrote no error: the INI was found and the database opened.
        QVERIFY(!QFile::exists(folder + QStringLiteral("/TOLVA.ERR")));
    }
};

QTEST_GUILESS_MAIN(TestStartup)
#include "tst_startup.moc"
