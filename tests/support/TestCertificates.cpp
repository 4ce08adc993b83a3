#include "support/TestCertificates.h"

#include <QFile>
#include <QProcess>

namespace {

// The extensions of each kind of certificate, and what "openssl ca" needs
// for the one signed with dates in the past.
QByteArray config(const QString& address, const QString& wrongAddress) {
    return QStringLiteral("[req]\n"
                          "distinguished_name = dn\n"
                          "[dn]\n"
                          "[v3_ca]\n"
                          "basicConstraints = critical,CA:TRUE\n"
                          "keyUsage = critical,keyCertSign,cRLSign\n"
                          "subjectKeyIdentifier = hash\n"
                          "[server]\n"
                          "basicConstraints = CA:FALSE\n"
                          "keyUsage = critical,digitalSignature\n"
                          "extendedKeyUsage = serverAuth\n"
                          "subjectAltName = IP:%1\n"
                          "[wrong_name]\n"
                          "basicConstraints = CA:FALSE\n"
                          "keyUsage = critical,digitalSignature\n"
                          "extendedKeyUsage = serverAuth\n"
                          "subjectAltName = IP:%2,DNS:elsewhere.example\n"
                          "[client]\n"
                          "basicConstraints = CA:FALSE\n"
                          "keyUsage = critical,digitalSignature\n"
                          "extendedKeyUsage = clientAuth\n"
                          "[ca]\n"
                          "default_ca = ca_default\n"
                          "[ca_default]\n"
                          "database = index.txt\n"
                          "new_certs_dir = .\n"
                          "serial = serial.txt\n"
                          "default_md = sha256\n"
                          "policy = any\n"
                          "unique_subject = no\n"
                          "[any]\n"
                          "commonName = supplied\n")
        .arg(address, wrongAddress)
        .toUtf8();
}

} // namespace

TestCertificates::TestCertificates(const QString& address) {
    if (!m_dir.isValid()) {
        m_error = QStringLiteral("no temporary folder");
        return;
    }
    QFile cnf(path(QStringLiteral("openssl.cnf")));
    QFile index(path(QStringLiteral("index.txt")));
    QFile serial(path(QStringLiteral("serial.txt")));
    if (!cnf.open(QIODevice::WriteOnly) || !index.open(QIODevice::WriteOnly) ||
        !serial.open(QIODevice::WriteOnly)) {
        m_error = QStringLiteral("cannot write in ") + m_dir.path();
        return;
    }
    QString wrong = address;
    wrong.replace(wrong.lastIndexOf(QLatin1Char('.')) + 1, 3, QStringLiteral("254"));
    cnf.write(config(address, wrong));
    serial.write("1000\n");
    cnf.close();
    index.close();
    serial.close();

    const QString server = QStringLiteral("/CN=memberd");
    const QString store = QStringLiteral("/CN=S01");
    (void)(makeCa(QStringLiteral("ca"), QStringLiteral("/CN=TOLVA Test CA")) &&
           makeCa(QStringLiteral("other-ca"), QStringLiteral("/CN=Some Other CA")) &&
           request(QStringLiteral("server"), server) &&
           sign(QStringLiteral("server"), QStringLiteral("ca"), QStringLiteral("server")) &&
           request(QStringLiteral("expired"), server) &&
           signOutOfDate(QStringLiteral("expired"), QStringLiteral("server")) &&
           request(QStringLiteral("wrong-name"), server) &&
           sign(QStringLiteral("wrong-name"), QStringLiteral("ca"), QStringLiteral("wrong_name")) &&
           request(QStringLiteral("other-server"), server) &&
           sign(QStringLiteral("other-server"), QStringLiteral("other-ca"), QStringLiteral("server")) &&
           request(QStringLiteral("client"), store) &&
           sign(QStringLiteral("client"), QStringLiteral("ca"), QStringLiteral("client")) &&
           request(QStringLiteral("other-client"), store) &&
           sign(QStringLiteral("other-client"), QStringLiteral("other-ca"), QStringLiteral("client")));
}

QStringList TestCertificates::serverArgs(const QString& name) const {
    return {QStringLiteral("--tls-cert"), cert(name), QStringLiteral("--tls-key"), key(name)};
}

bool TestCertificates::run(const QStringList& args) {
    QProcess openssl;
    openssl.setWorkingDirectory(m_dir.path());
    openssl.setProcessChannelMode(QProcess::MergedChannels);
    openssl.start(QStringLiteral("openssl"), args);
    if (!openssl.waitForFinished(60000) || openssl.exitStatus() != QProcess::NormalExit ||
        openssl.exitCode() != 0) {
        m_error = QStringLiteral("openssl %1: %2")
                      .arg(args.join(QLatin1Char(' ')), QString::fromLocal8Bit(openssl.readAll()));
        return false;
    }
    return true;
}

bool TestCertificates::makeCa(const QString& name, const QString& subject) {
    return run({QStringLiteral("req"),
                QStringLiteral("-x509"),
                QStringLiteral("-new"),
                QStringLiteral("-config"),
                QStringLiteral("openssl.cnf"),
                QStringLiteral("-extensions"),
                QStringLiteral("v3_ca"),
                QStringLiteral("-newkey"),
                QStringLiteral("ec"),
                QStringLiteral("-pkeyopt"),
                QStringLiteral("ec_paramgen_curve:prime256v1"),
                QStringLiteral("-nodes"),
                QStringLiteral("-keyout"),
                name + QStringLiteral(".key"),
                QStringLiteral("-out"),
                name + QStringLiteral(".pem"),
                QStringLiteral("-subj"),
                subject,
                QStringLiteral("-days"),
                QStringLiteral("30")});
}

bool TestCertificates::request(const QString& name, const QString& subject) {
    return run({QStringLiteral("req"), QStringLiteral("-new"), QStringLiteral("-config"),
                QStringLiteral("openssl.cnf"), QStringLiteral("-newkey"), QStringLiteral("ec"),
                QStringLiteral("-pkeyopt"), QStringLiteral("ec_paramgen_curve:prime256v1"),
                QStringLiteral("-nodes"), QStringLiteral("-keyout"), name + QStringLiteral(".key"),
                QStringLiteral("-out"), name + QStringLiteral(".csr"), QStringLiteral("-subj"), subject});
}

bool TestCertificates::sign(const QString& name, const QString& caName, const QString& extensions) {
    return run({QStringLiteral("x509"), QStringLiteral("-req"), QStringLiteral("-in"),
                name + QStringLiteral(".csr"), QStringLiteral("-CA"), caName + QStringLiteral(".pem"),
                QStringLiteral("-CAkey"), caName + QStringLiteral(".key"), QStringLiteral("-CAcreateserial"),
                QStringLiteral("-days"), QStringLiteral("30"), QStringLiteral("-sha256"),
                QStringLiteral("-extfile"), QStringLiteral("openssl.cnf"), QStringLiteral("-extensions"),
                extensions, QStringLiteral("-out"), name + QStringLiteral(".pem")});
}

// "openssl x509" counts a certificate's days from now; "openssl ca" takes
// any start and end.
bool TestCertificates::signOutOfDate(const QString& name, const QString& extensions) {
    return run({QStringLiteral("ca"), QStringLiteral("-batch"), QStringLiteral("-config"),
                QStringLiteral("openssl.cnf"), QStringLiteral("-cert"), QStringLiteral("ca.pem"),
                QStringLiteral("-keyfile"), QStringLiteral("ca.key"), QStringLiteral("-in"),
                name + QStringLiteral(".csr"), QStringLiteral("-out"), name + QStringLiteral(".pem"),
                QStringLiteral("-startdate"), QStringLiteral("20200101000000Z"), QStringLiteral("-enddate"),
                QStringLiteral("20200201000000Z"), QStringLiteral("-extensions"), extensions,
                QStringLiteral("-notext")});
}
