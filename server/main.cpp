// memberd: the member-data service of the desk's link.
#include "server/AddStore.h"
#include "server/CommandLine.h"
#include "server/DatabaseChecks.h"
#include "server/KeyRetention.h"
#include "server/Log.h"
#include "server/MemberServer.h"
#include "server/SignalPipe.h"
#include "server/StorePasswords.h"
#include "server/SystemdNotify.h"
#include "server/TlsContext.h"

#include <QCoreApplication>
#include <cstdio>
#include <sys/resource.h>

using namespace memberd;

namespace {

int fail(const QString& text, int code = 2) {
    writeLog(LogLevel::Error, text);
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

// --check-config: one line on standard output, and the exit code.
int reportCheck(bool ok, const QString& reason) {
    const QByteArray line =
        (ok ? QStringLiteral("configuration OK") : escapeControls(maskSecrets(reason))).toUtf8();
    std::fprintf(stdout, "%s\n", line.constData());
    return ok ? 0 : 1;
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("memberd"));
    raiseFileLimit();

    StartRequest request;
    QString error;
    const bool parsed = parseCommandLine(QCoreApplication::arguments(), request, error);
    if (request.mode == StartRequest::Mode::CheckConfig) {
        for (const QString& warning : request.warnings)
            writeLog(LogLevel::Warning, warning);
        QStringList fileWarnings;
        const QString stores = request.options.storePasswordsFile;
        StorePasswords storePasswords;
        if (parsed && (!request.options.tls() || TlsContext::load(request.options, fileWarnings, error)) &&
            (stores.isEmpty() || storePasswords.open(stores, fileWarnings, error)))
            DatabaseChecks::check(request.options.connectionString, request.allowSuperuser,
                                  !request.noKeyedPostings, error);
        for (const QString& warning : fileWarnings)
            writeLog(LogLevel::Warning, warning);
        return reportCheck(error.isEmpty(), error);
    }
    if (!parsed)
        return fail(error);
    for (const QString& warning : request.warnings)
        writeLog(LogLevel::Warning, warning);

    const ServerOptions& options = request.options;
    if (request.mode == StartRequest::Mode::AddStore)
        return addStore(options.storePasswordsFile, request.addStore, options.codePage);
    if (request.mode == StartRequest::Mode::InitDb) {
        QString done;
        if (!DatabaseChecks::initialize(options.connectionString, request.roleName, request.rolePassword,
                                        done, error))
            return fail(error);
        writeLog(LogLevel::Notice, done);
        return 0;
    }
    std::shared_ptr<TlsContext> tls;
    if (options.tls()) {
        QStringList warnings;
        tls = TlsContext::load(options, warnings, error);
        for (const QString& warning : warnings)
            writeLog(LogLevel::Warning, warning);
        if (!tls)
            return fail(error, 1);
    }
    if (!DatabaseChecks::check(options.connectionString, request.allowSuperuser, !request.noKeyedPostings,
                               error))
        return fail(error);
    ServerOptions serving = options;
    serving.keyedPostings = !request.noKeyedPostings;

    KeyRetention retention(options.connectionString, request.keyDays);
    if (serving.keyedPostings && request.keyDays > 0)
        retention.start();

    SignalPipe stopSignals;
    MemberServer server(serving, tls);
    QObject::connect(&stopSignals, &SignalPipe::terminate, &server, [&](int number) {
        writeLog(LogLevel::Notice, QStringLiteral("signal %1").arg(number));
        notifyServiceManager("STOPPING=1");
        server.shutdown();
    });
    QObject::connect(&server, &MemberServer::finished, &app, [] { QCoreApplication::exit(0); });
    if (!server.start(error))
        return fail(error, 1);
    if (!notifyServiceManager("READY=1"))
        writeLog(LogLevel::Warning,
                 QStringLiteral("could not tell the service manager that memberd is ready"));
    const int rc = app.exec();
    writeLog(LogLevel::Notice, QStringLiteral("stopped"));
    return rc;
}
