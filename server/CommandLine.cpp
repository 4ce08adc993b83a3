#include "server/CommandLine.h"

#include "server/ConfigFile.h"
#include "server/SecretSources.h"

#include <QCommandLineParser>
#include <QFile>
#include <QFileInfo>
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

// What the service serves, from where, and with which secrets.
QList<QCommandLineOption> serviceOptions() {
    return {
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
    };
}

// Who the desks are: stores with passwords of their own.
QList<QCommandLineOption> identityOptions() {
    return {
        valued("store-passwords",
               "File of \"store-id:hash\" lines: each store logs in as \"STORE<TAB>password\" and posts "
               "only as itself; the shared password then no longer logs in (see --allow-shared-password). "
               "Read again when it changes.",
               "FILE"),
        flag("allow-shared-password",
             "With --store-passwords: the shared password still logs in, as no store (while desks are "
             "changed over)."),
        valued("add-store",
               "Set the password of store ID in the --store-passwords file (read from standard input, "
               "not echoed on a terminal), replacing its line, and exit.",
               "ID"),
    };
}

// What the service tells about itself.
QList<QCommandLineOption> metricsOptions() {
    return {
        valued("metrics-listen",
               "Serve /metrics (Prometheus text format) and /healthz over HTTP on ADDR:PORT (default: "
               "off).",
               "ADDR:PORT"),
    };
}

// How much the service takes from whom, and for how long.
QList<QCommandLineOption> limitOptions() {
    return {
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
}

// Encryption of the link, and the clear-text port beside it.
QList<QCommandLineOption> tlsOptions() {
    return {
        valued("tls-cert",
               "Speak TLS (1.2 or later) on the listening port with this certificate (PEM, the chain after "
               "it; else $CREDENTIALS_DIRECTORY/memberd-tls-cert when that file exists).",
               "FILE"),
        valued("tls-key", "Private key of --tls-cert (PEM; else $CREDENTIALS_DIRECTORY/memberd-tls-key).",
               "FILE"),
        valued("tls-client-ca",
               "Require of every desk a client certificate signed by these CA certificates (PEM); its CN "
               "names the store.",
               "FILE"),
        valued("plain-listen",
               "Also listen in clear text on ADDR:PORT (IPv6 as [ADDR]:PORT) beside the TLS port; off "
               "unless given.",
               "ADDR:PORT"),
    };
}

// Diagnostics, left out of the help: "qt" runs PostgreSQL's statements
// through Qt's driver, as before the direct client, to compare the two.
QList<QCommandLineOption> diagnosticOptions() {
    QCommandLineOption pgClient(QStringLiteral("pg-client"), QStringLiteral("libpq or qt."),
                                QStringLiteral("CLIENT"), QStringLiteral("libpq"));
    pgClient.setFlags(QCommandLineOption::HiddenFromHelp);
    return {pgClient};
}

// The configuration file's settings, then the command line, into parser;
// --help prints and exits.
bool parseArguments(QCommandLineParser& parser, const QList<QCommandLineOption>& options,
                    const QStringList& arguments, StartRequest& request, QString& error) {
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
    return true;
}

// The address to listen on and the balancers trusted to name their clients.
bool readAddresses(const QCommandLineParser& parser, ServerOptions& o, QString& error) {
    const QString listen = parser.value(QStringLiteral("listen"));
    if (parser.isSet(QStringLiteral("listen")) && !o.listen.setAddress(listen)) {
        error = QStringLiteral("not an address: ") + listen;
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
    return true;
}

// "ADDR:PORT" or "[ADDR]:PORT".
bool parseEndpoint(const QString& text, QHostAddress& address, quint16& port) {
    const qsizetype colon = text.lastIndexOf(QLatin1Char(':'));
    if (colon <= 0)
        return false;
    QString host = text.left(colon);
    if (host.startsWith(QLatin1Char('[')) && host.endsWith(QLatin1Char(']')))
        host = host.mid(1, host.size() - 2);
    bool ok = false;
    const uint number = text.mid(colon + 1).toUInt(&ok);
    if (!ok || number == 0 || number > 65535 || !address.setAddress(host))
        return false;
    port = static_cast<quint16>(number);
    return true;
}

// The certificate, key and client CA of TLS (the files themselves are read
// when the service starts), and the clear-text port beside it. Certificate
// and key not given come from the service manager's credentials, when there.
bool readTls(const QCommandLineParser& parser, ServerOptions& o, QString& error) {
    const auto given = [&](const char* name, const char* credential) {
        const QString value = parser.value(QString::fromLatin1(name));
        if (!value.isEmpty())
            return value;
        const QString dir = qEnvironmentVariable("CREDENTIALS_DIRECTORY");
        const QString path = dir + QLatin1Char('/') + QString::fromLatin1(credential);
        return !dir.isEmpty() && QFileInfo::exists(path) ? path : QString();
    };
    o.tlsCert = given("tls-cert", "memberd-tls-cert");
    o.tlsKey = given("tls-key", "memberd-tls-key");
    o.tlsClientCa = parser.value(QStringLiteral("tls-client-ca"));
    if (o.tlsCert.isEmpty() != o.tlsKey.isEmpty()) {
        error = QStringLiteral("--tls-cert and --tls-key go together: give both or neither");
        return false;
    }
    if (!o.tls() && !o.tlsClientCa.isEmpty()) {
        error = QStringLiteral("--tls-client-ca needs --tls-cert and --tls-key");
        return false;
    }
    const QString plain = parser.value(QStringLiteral("plain-listen"));
    o.plainListen = !plain.isEmpty();
    if (!o.plainListen)
        return true;
    if (!o.tls()) {
        error = QStringLiteral("--plain-listen opens a clear-text port beside TLS: it needs --tls-cert and "
                               "--tls-key (without them the service speaks clear text on --listen)");
        return false;
    }
    if (!parseEndpoint(plain, o.plainAddress, o.plainPort)) {
        error = QStringLiteral("--plain-listen: not ADDR:PORT: ") + plain;
        return false;
    }
    return true;
}

// The numbers: port, sizes, times and connection limits, with the limits
// that follow from them.
bool readLimits(const QCommandLineParser& parser, StartRequest& request, QString& error) {
    ServerOptions& o = request.options;
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
    return true;
}

// The stores' password file and the metrics listener.
bool readIdentityAndMetrics(const QCommandLineParser& parser, StartRequest& request, QString& error) {
    ServerOptions& o = request.options;
    o.storePasswordsFile = parser.value(QStringLiteral("store-passwords"));
    o.allowSharedPassword = parser.isSet(QStringLiteral("allow-shared-password"));
    if (o.allowSharedPassword && o.storePasswordsFile.isEmpty()) {
        error = QStringLiteral("--allow-shared-password needs --store-passwords");
        return false;
    }
    if (request.mode == StartRequest::Mode::AddStore && o.storePasswordsFile.isEmpty()) {
        error = QStringLiteral("--add-store needs --store-passwords FILE");
        return false;
    }
    const QString metrics = parser.value(QStringLiteral("metrics-listen"));
    if (metrics.isEmpty())
        return true;
    const qsizetype colon = metrics.lastIndexOf(QLatin1Char(':'));
    bool numeric = false;
    const uint port = metrics.mid(colon + 1).toUInt(&numeric);
    QString host = metrics.left(std::max<qsizetype>(colon, 0));
    if (host.startsWith(QLatin1Char('[')) && host.endsWith(QLatin1Char(']')))
        host = host.mid(1, host.size() - 2);
    if (colon <= 0 || !numeric || port == 0 || port > 65535 || !o.metricsAddress.setAddress(host)) {
        error = QStringLiteral("--metrics-listen must be ADDR:PORT, e.g. 127.0.0.1:9351: ") + metrics;
        return false;
    }
    o.metricsPort = static_cast<quint16>(port);
    return true;
}

// Whether a shared password was given at all.
bool sharedPasswordGiven(const QString& passwordFile) {
    const QString credentials = qEnvironmentVariable("CREDENTIALS_DIRECTORY");
    return !passwordFile.isEmpty() || qEnvironmentVariableIsSet("MEMBERD_PASSWORD") ||
           (!credentials.isEmpty() && QFile::exists(credentials + QStringLiteral("/memberd-password")));
}

// The secrets the mode needs: the log-in password to serve, the new role's
// password to set up a database. With store passwords (and no shared one
// allowed) the shared password may be left out.
bool readSecrets(const QCommandLineParser& parser, const tolva::CodePage& cp, StartRequest& request,
                 QString& error) {
    const auto value = [&](const char* name) { return parser.value(QString::fromLatin1(name)); };
    if (request.mode == StartRequest::Mode::AddStore)
        return true;
    if (request.mode == StartRequest::Mode::InitDb) {
        return !parser.isSet(QStringLiteral("db-role-password-file")) ||
               SecretSources::readFile(value("db-role-password-file"), request.rolePassword, request.warnings,
                                       error);
    }
    const ServerOptions& o = request.options;
    if (!o.storePasswordsFile.isEmpty() && !o.allowSharedPassword &&
        !sharedPasswordGiven(value("password-file")))
        return true;
    return SecretSources::password(value("password-file"), cp, request.options.password, request.warnings,
                                   error);
}

} // namespace

bool parseCommandLine(const QStringList& arguments, StartRequest& request, QString& error) {
    const QList<QCommandLineOption> options = serviceOptions() + tlsOptions() + identityOptions() +
                                              metricsOptions() + limitOptions() + diagnosticOptions();
    QCommandLineParser parser;
    if (!parseArguments(parser, options, arguments, request, error))
        return false;

    const auto value = [&](const char* name) { return parser.value(QString::fromLatin1(name)); };
    const auto isSet = [&](const char* name) { return parser.isSet(QString::fromLatin1(name)); };
    request.mode = isSet("check-config") ? StartRequest::Mode::CheckConfig
                   : isSet("init-db")    ? StartRequest::Mode::InitDb
                   : isSet("add-store")  ? StartRequest::Mode::AddStore
                                         : StartRequest::Mode::Serve;
    request.addStore = value("add-store");
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
    return SecretSources::connectionString(value("db"), value("db-file"), o.connectionString,
                                           request.warnings, error) &&
           readAddresses(parser, o, error) && readTls(parser, o, error) &&
           readLimits(parser, request, error) && readIdentityAndMetrics(parser, request, error) &&
           readSecrets(parser, cp, request, error);
}

} // namespace memberd
