// memberd: the member-data service of the desk's link.
#include "MemberServer.h"
#include "SignalPipe.h"
#include "common/Fault.h"
#include "db/Database.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QSqlDatabase>
#include <QThread>
#include <cstdio>
#include <sys/resource.h>

using namespace memberd;

namespace {

int fail(const QString& text, int code = 2) {
    MemberServer::log(text);
    return code;
}

// Many desks stay connected at once: allow as many files as the system lets us.
void raiseFileLimit() {
    rlimit rl{};
    if (::getrlimit(RLIMIT_NOFILE, &rl) == 0 && rl.rlim_cur < rl.rlim_max) {
        rl.rlim_cur = rl.rlim_max;
        ::setrlimit(RLIMIT_NOFILE, &rl);
    }
}

bool hasMemberTables(tolva::Database& db) {
    const QStringList tables = db.handle().tables();
    return tables.contains(QStringLiteral("CUST"), Qt::CaseInsensitive) &&
           tables.contains(QStringLiteral("VCardLog"), Qt::CaseInsensitive);
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("memberd"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Member-data service of the desk's link: answers log-in, SELECT and SERVER requests on port 3501."));
    parser.addHelpOption();
    const QCommandLineOption listenOpt(QStringLiteral("listen"),
                                       QStringLiteral("Address to listen on (default: all addresses)."),
                                       QStringLiteral("ADDR"));
    const QCommandLineOption portOpt(QStringLiteral("port"), QStringLiteral("TCP port (default 3501)."),
                                     QStringLiteral("N"), QStringLiteral("3501"));
    const QCommandLineOption passwordOpt(
        QStringLiteral("password-file"),
        QStringLiteral("File holding the log-in password (else the environment variable MEMBERD_PASSWORD)."),
        QStringLiteral("FILE"));
    const QCommandLineOption dbOpt(QStringLiteral("db"),
                                   QStringLiteral("Connection string of the member database (default "
                                                  "\"Provider=SQLite;Data Source=member.db\")."),
                                   QStringLiteral("CONNSTR"),
                                   QStringLiteral("Provider=SQLite;Data Source=member.db"));
    const QCommandLineOption codePageOpt(
        QStringLiteral("codepage"), QStringLiteral("Code page of the text on the wire (default CP950)."),
        QStringLiteral("NAME"), QString::fromLatin1(tolva::CodePage::kDefault));
    const QCommandLineOption initOpt(QStringLiteral("init-db"),
                                     QStringLiteral("Create the schema in the database and exit."));
    const QCommandLineOption anySqlOpt(
        QStringLiteral("allow-any-sql"),
        QStringLiteral("Run any statement; by default only single SELECT, INSERT and UPDATE statements on "
                       "CUST and VCardLog run."));
    const QCommandLineOption maxOpt(QStringLiteral("max-request-bytes"),
                                    QStringLiteral("Largest request accepted (default 1048576)."),
                                    QStringLiteral("N"), QStringLiteral("1048576"));
    const QCommandLineOption idleOpt(
        QStringLiteral("idle-timeout"),
        QStringLiteral("Close a connection idle for this many seconds (default 0: "
                       "never; fractions allowed)."),
        QStringLiteral("SECONDS"), QStringLiteral("0"));
    const QCommandLineOption workersOpt(
        QStringLiteral("workers"),
        QStringLiteral("Threads serving the connections, each with its own database connection (default 4)."),
        QStringLiteral("N"), QStringLiteral("4"));
    parser.addOptions({listenOpt, portOpt, passwordOpt, dbOpt, codePageOpt, initOpt, anySqlOpt, maxOpt,
                       idleOpt, workersOpt});
    parser.process(app);

    ServerOptions options;
    options.connectionString = parser.value(dbOpt);
    options.codePage = parser.value(codePageOpt);
    options.allowAnySql = parser.isSet(anySqlOpt);

    const tolva::CodePage cp(options.codePage);
    if (!cp.isValid())
        return fail(QStringLiteral("unknown code page: ") + options.codePage);

    {
        tolva::Database db;
        try {
            db.open(options.connectionString);
            if (parser.isSet(initOpt)) {
                if (hasMemberTables(db)) {
                    MemberServer::log(QStringLiteral("schema already present"));
                } else {
                    db.createSchema();
                    MemberServer::log(QStringLiteral("schema created"));
                }
                return 0;
            }
            if (!hasMemberTables(db))
                return fail(QStringLiteral("the database has no member tables; run with --init-db first"));
        } catch (const tolva::Fault& fault) {
            return fail(QStringLiteral("database: ") + fault.message());
        }
    }

    if (parser.isSet(listenOpt)) {
        if (!options.listen.setAddress(parser.value(listenOpt)))
            return fail(QStringLiteral("not an address: ") + parser.value(listenOpt));
    }
    bool ok = false;
    options.port = parser.value(portOpt).toUShort(&ok);
    if (!ok)
        return fail(QStringLiteral("not a port: ") + parser.value(portOpt));
    options.maxRequestBytes = parser.value(maxOpt).toLongLong(&ok);
    if (!ok || options.maxRequestBytes < 13)
        return fail(QStringLiteral("--max-request-bytes must be a number of at least 13"));
    const double idle = parser.value(idleOpt).toDouble(&ok);
    if (!ok || idle < 0)
        return fail(QStringLiteral("--idle-timeout must be a number of seconds"));
    options.idleTimeoutMs = static_cast<int>(idle * 1000);
    options.threads = parser.value(workersOpt).toInt(&ok);
    if (!ok || options.threads < 1)
        return fail(QStringLiteral("--workers must be at least 1"));

    QString password;
    if (parser.isSet(passwordOpt)) {
        QFile file(parser.value(passwordOpt));
        if (!file.open(QIODevice::ReadOnly))
            return fail(QStringLiteral("cannot read the password file ") + file.fileName());
        QByteArray bytes = file.readAll();
        while (bytes.endsWith('\n') || bytes.endsWith('\r'))
            bytes.chop(1);
        password = QString::fromUtf8(bytes);
    } else if (qEnvironmentVariableIsSet("MEMBERD_PASSWORD")) {
        password = qEnvironmentVariable("MEMBERD_PASSWORD");
    } else {
        return fail(QStringLiteral("no password: give --password-file FILE or set MEMBERD_PASSWORD"));
    }
    options.password = cp.encode(password);

    raiseFileLimit();
    SignalPipe stopSignals;
    MemberServer server(options);
    QObject::connect(&stopSignals, &SignalPipe::terminate, &server, [&](int number) {
        MemberServer::log(QStringLiteral("signal %1").arg(number));
        server.shutdown();
    });
    QObject::connect(&server, &MemberServer::finished, &app, [] { QCoreApplication::exit(0); });
    QString error;
    if (!server.start(error))
        return fail(error, 1);
    const int rc = app.exec();
    MemberServer::log(QStringLiteral("stopped"));
    return rc;
}
