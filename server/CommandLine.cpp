#include "server/CommandLine.h"

#include "server/ConfigFile.h"
#include "server/SecretSources.h"

#include <QCommandLineParser>
#include <sys/resource.h>

namespace memberd {

namespace {

QCommandLineOption valued(const char* name, const char* help, const char* valueName,
                          const QString& def = {}) {
    return QCommandLineOption(QString::fromLatin1(name), QString::fromUtf8(help),
                              QString::fromLatin1(valueName), def);
}
QCommandLineOption flag(const char* name, const char* help) {
    return QCommandLineOption(QString::fromLatin1(name), QString::fromUtf8(help));
}

// Reads a number option in [min, max]; seconds options accept fractions.
class Numbers {
public:
    Numbers(const QCommandLineParser& parser, QString& error) : m_parser(parser), m_error(error) {}
    bool integer(const char* name, qint64 min, qint64 max, qint64& out) {
        bool ok = false;
        out = m_parser.value(QString::fromLatin1(name)).toLongLong(&ok);
        return ok && out >= min && out <= max ? true : fail(name, min, max);
    }
    bool integer(const char* name, qint64 min, qint64 max, int& out) {
        qint64 v = 0;
        if (!integer(name, min, max, v))
            return false;
        out = static_cast<int>(v);
        return true;
    }
    bool milliseconds(const char* name, double min, double max, int& out) {
        bool ok = false;
        const double seconds = m_parser.value(QString::fromLatin1(name)).toDouble(&ok);
        if (!ok || seconds < min || seconds > max)
            return fail(name, static_cast<qint64>(min), static_cast<qint64>(max));
        out = static_cast<int>(seconds * 1000);
        return true;
    }

private:
    bool fail(const char* name, qint64 min, qint64 max) {
        m_error = QStringLiteral("--%1 must be a number from %2 to %3")
                      .arg(QString::fromLatin1(name))
                      .arg(min)
                      .arg(max);
        return false;
    }
    const QCommandLineParser& m_parser;
    QString& m_error;
};

// Descriptors kept for the listening socket, the database connections and the rest.
int connectionLimitFromDescriptors(int threads) {
    rlimit rl{};
    if (::getrlimit(RLIMIT_NOFILE, &rl) != 0 || rl.rlim_cur == RLIM_INFINITY)
        return 10000;
    const qint64 usable = static_cast<qint64>(rl.rlim_cur) - 64 - 8 * threads;
    return static_cast<int>(std::clamp<qint64>(usable, 16, 1000000));
}

} // namespace

bool parseCommandLine(const QStringList& arguments, StartRequest& request, QString& error) {
    const QList<QCommandLineOption> options = {
        valued("config",
               "Read settings from FILE: \"name = value\" lines, name a long option without dashes; "
               "the command line wins.",
               "FILE"),
        flag("check-config", "Check the options, the password source and the database, print "
                             "\"configuration OK\" or the reason, and exit (0 or 1)."),
        valued("listen", "Address to listen on (default: all addresses).", "ADDR"),
        valued("trusted-proxy",
               "Balancers (addresses or networks, comma-separated; may be repeated) whose connections begin "
               "with a PROXY header (v1 or v2) naming the client, whose address is then used for every "
               "limit and log line.",
               "ADDRS"),
        valued("port", "TCP port (default 3501).", "N", QStringLiteral("3501")),
        valued("password-file",
               "File holding the log-in password (else MEMBERD_PASSWORD, else "
               "$CREDENTIALS_DIRECTORY/memberd-password).",
               "FILE"),
        valued("db",
               "Connection string of the member database (visible in the process list: prefer --db-file "
               "or MEMBERD_DB; default \"Provider=SQLite;Data Source=member.db\").",
               "CONNSTR"),
        valued("db-file", "File holding the connection string.", "FILE"),
        valued("codepage", "Code page of the text on the wire (default CP950).", "NAME",
               QString::fromLatin1(tolva::CodePage::kDefault)),
        flag("init-db", "Create the schema, or add the key table of keyed postings to a member database made "
                        "before it, (on PostgreSQL also the service's role) and exit."),
        valued("db-role", "PostgreSQL role --init-db sets up for memberd (default memberd).", "NAME",
               QStringLiteral("memberd")),
        valued("db-role-password-file", "File with the password --init-db gives that role.", "FILE"),
        flag("allow-superuser", "Serve even when the database role is a superuser or may read every table."),
        flag("allow-any-sql",
             "Run any statement; by default only single SELECT, INSERT and UPDATE statements "
             "on CUST and VCardLog run."),
        flag("no-keyed-postings",
             "Serve statements only: announce no keyed postings at the log-in and answer POSTKY and "
             "POSTQY as unknown commands."),
        valued("key-days",
               "Keep the keys of keyed postings this many days, removing older ones at the start and daily "
               "(default 400; 0: keep them for ever).",
               "DAYS", QStringLiteral("400")),
        valued("max-request-bytes", "Largest request accepted (default 1048576).", "N",
               QStringLiteral("1048576")),
        valued("idle-timeout", "Close a logged-in connection idle for this many seconds (default 0: never).",
               "SECONDS", QStringLiteral("0")),
        valued("workers",
               "Threads serving the connections, each with its own database connection (default 4).", "N",
               QStringLiteral("4")),
        valued("statement-timeout",
               "Cancel a statement not done this many seconds after its request arrived "
               "(default 10).",
               "SECONDS", QStringLiteral("10")),
        valued("max-reply-bytes",
               "Largest reply; a larger result is answered as a failure (default 4194304).", "N",
               QStringLiteral("4194304")),
        valued("max-output-bytes",
               "Replies waiting for a client to read them before it is closed (default "
               "8388608).",
               "N", QStringLiteral("8388608")),
        valued("send-timeout",
               "Close a client that takes none of its waiting replies for this many seconds "
               "(default 30).",
               "SECONDS", QStringLiteral("30")),
        valued("login-timeout", "Close a connection not logged in after this many seconds (default 10).",
               "SECONDS", QStringLiteral("10")),
        valued("max-login-bytes", "Bytes a connection may send before it has logged in (default 1024).", "N",
               QStringLiteral("1024")),
        valued("max-connections", "Connections in all (default: from the descriptor limit).", "N",
               QStringLiteral("0")),
        valued("max-pending-logins", "Connections not logged in yet, in all (default 256).", "N",
               QStringLiteral("256")),
        valued("max-pending-per-address", "Connections not logged in yet from one address (default 32).", "N",
               QStringLiteral("32")),
        valued("max-connections-per-address", "Connections from one address (default 1024).", "N",
               QStringLiteral("1024")),
        valued("login-failures",
               "Failed log-ins from one address before it is locked out: its wrong passwords are answered "
               "last, right ones still let in (default 10).",
               "N", QStringLiteral("10")),
        valued("login-delay",
               "Seconds the answer to a wrong password is held after the second from an address, doubled "
               "after each further one (default 1).",
               "SECONDS", QStringLiteral("1")),
        valued("log-repeat-window",
               "Lines of one kind about one client address (connected, refused, ...): five are written "
               "in this many seconds, the rest counted in one line (default 10).",
               "SECONDS", QStringLiteral("10")),
        valued("login-lockout",
               "Seconds a lock-out lasts; failures further apart do not add up (default 300).", "SECONDS",
               QStringLiteral("300")),
    };
    // A diagnostic: "qt" runs the statements of PostgreSQL through Qt's
    // driver, as before the direct client, to compare the two.
    QCommandLineOption pgClient(QStringLiteral("pg-client"), QStringLiteral("libpq or qt."),
                                QStringLiteral("CLIENT"), QStringLiteral("libpq"));
    pgClient.setFlags(QCommandLineOption::HiddenFromHelp);
    QCommandLineParser parser;
    parser.addOption(pgClient);
    parser.setApplicationDescription(QStringLiteral(
        "Member-data service of the desk's link: answers log-in, SELECT, SERVER and keyed posting (POSTKY, "
        "POSTQY) requests on port 3501."));
    parser.addHelpOption();
    parser.addOptions(options);

    if (arguments.contains(QStringLiteral("--check-config")))
        request.mode = StartRequest::Mode::CheckConfig;
    QStringList args = arguments;
    const QString configPath = ConfigFile::pathIn(arguments);
    if (!configPath.isEmpty()) {
        QStringList fromFile;
        if (!ConfigFile::toArguments(configPath, options, fromFile, request.warnings, error))
            return false;
        args = QStringList{arguments.value(0)} + fromFile + arguments.mid(1);
    }
    if (!parser.parse(args)) {
        error = parser.errorText();
        return false;
    }
    if (parser.isSet(QStringLiteral("help")))
        parser.showHelp(0);
    if (!parser.positionalArguments().isEmpty()) {
        error = QStringLiteral("unexpected argument: ") + parser.positionalArguments().constFirst();
        return false;
    }

    const auto value = [&](const char* name) { return parser.value(QString::fromLatin1(name)); };
    const auto isSet = [&](const char* name) { return parser.isSet(QString::fromLatin1(name)); };
    request.mode = isSet("check-config") ? StartRequest::Mode::CheckConfig
                   : isSet("init-db")    ? StartRequest::Mode::InitDb
                                         : StartRequest::Mode::Serve;
    ServerOptions& o = request.options;
    o.codePage = value("codepage");
    o.allowAnySql = isSet("allow-any-sql");
    if (value("pg-client") != QLatin1String("libpq") && value("pg-client") != QLatin1String("qt")) {
        error = QStringLiteral("--pg-client must be libpq or qt");
        return false;
    }
    o.pgPipeline = value("pg-client") == QLatin1String("libpq");
    request.allowSuperuser = isSet("allow-superuser");
    request.noKeyedPostings = isSet("no-keyed-postings");
    request.roleName = value("db-role");

    const tolva::CodePage cp(o.codePage);
    if (!cp.isValid()) {
        error = QStringLiteral("unknown code page: ") + o.codePage;
        return false;
    }
    if (!SecretSources::connectionString(value("db"), value("db-file"), o.connectionString, request.warnings,
                                         error))
        return false;
    if (isSet("listen") && !o.listen.setAddress(value("listen"))) {
        error = QStringLiteral("not an address: ") + value("listen");
        return false;
    }

    for (const QString& list : parser.values(QStringLiteral("trusted-proxy"))) {
        for (const QString& item : list.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
            const QPair<QHostAddress, int> network = QHostAddress::parseSubnet(item.trimmed());
            if (network.first.isNull()) {
                error = QStringLiteral("--trusted-proxy: not an address or network: ") + item.trimmed();
                return false;
            }
            o.trustedProxies << network;
        }
    }

    Numbers n(parser, error);
    int port = 0;
    int maxConnections = 0;
    if (!n.integer("port", 1, 65535, port) ||
        !n.integer("max-request-bytes", 13, 1LL << 30, o.maxRequestBytes) ||
        !n.milliseconds("idle-timeout", 0, 1e6, o.idleTimeoutMs) ||
        !n.integer("workers", 1, 256, o.threads) || !n.integer("key-days", 0, 100000, request.keyDays) ||
        !n.milliseconds("statement-timeout", 0.1, 3600, o.statementTimeoutMs) ||
        !n.integer("max-reply-bytes", 19, 1LL << 30, o.maxReplyBytes) ||
        !n.integer("max-output-bytes", 19, 1LL << 31, o.maxOutputBytes) ||
        !n.milliseconds("login-timeout", 0, 1e6, o.loginTimeoutMs) ||
        !n.milliseconds("send-timeout", 0, 1e6, o.sendTimeoutMs) ||
        !n.integer("max-login-bytes", 13, 1LL << 30, o.maxLoginBytes) ||
        !n.integer("max-connections", 0, 1000000, maxConnections) ||
        !n.integer("max-pending-logins", 1, 1000000, o.maxPendingLogins) ||
        !n.integer("max-pending-per-address", 1, 1000000, o.maxPendingPerAddress) ||
        !n.integer("max-connections-per-address", 1, 1000000, o.maxConnectionsPerAddress) ||
        !n.integer("login-failures", 1, 1000000, o.loginFailuresBeforeLockout) ||
        !n.milliseconds("login-delay", 0, 3600, o.loginDelayMs) ||
        !n.milliseconds("login-lockout", 0, 1e6, o.loginLockoutMs) ||
        !n.milliseconds("log-repeat-window", 0.1, 3600, o.logRepeatWindowMs))
        return false;
    o.port = static_cast<quint16>(port);
    if (o.maxOutputBytes < o.maxReplyBytes) {
        error = QStringLiteral("--max-output-bytes must be at least --max-reply-bytes");
        return false;
    }
    const int fromDescriptors = connectionLimitFromDescriptors(o.threads);
    o.maxConnections = maxConnections > 0 ? std::min(maxConnections, fromDescriptors) : fromDescriptors;
    // Room stays for desks: connections not logged in take at most half of all.
    o.maxPendingLogins = std::min(o.maxPendingLogins, std::max(1, o.maxConnections / 2));

    if (request.mode == StartRequest::Mode::InitDb) {
        if (isSet("db-role-password-file") &&
            !SecretSources::readFile(value("db-role-password-file"), request.rolePassword, request.warnings,
                                     error))
            return false;
        return true;
    }
    return SecretSources::password(value("password-file"), cp, o.password, request.warnings, error);
}

} // namespace memberd
