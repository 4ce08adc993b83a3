#include "server/StorePasswords.h"

#include "server/Protocol.h"
#include "server/SecretSources.h"

#include <QFile>
#include <QList>
#include <QMessageAuthenticationCode>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <openssl/rand.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace memberd {

namespace {

const QByteArray kScheme = QByteArrayLiteral("pbkdf2-sha256");
constexpr int kSaltBytes = 16;
constexpr int kKeyBytes = 32;
constexpr int kMaxIterations = 10000000;
constexpr qsizetype kMaxStoreId = 20;

QByteArray derive(const QByteArray& password, const QByteArray& salt, int iterations) {
    QByteArray key(kKeyBytes, '\0');
    if (PKCS5_PBKDF2_HMAC(password.constData(), static_cast<int>(password.size()),
                          reinterpret_cast<const unsigned char*>(salt.constData()),
                          static_cast<int>(salt.size()), iterations, EVP_sha256(), kKeyBytes,
                          reinterpret_cast<unsigned char*>(key.data())) != 1)
        return {};
    return key;
}

QByteArray randomBytes(int count) {
    QByteArray bytes(count, '\0');
    if (RAND_bytes(reinterpret_cast<unsigned char*>(bytes.data()), count) != 1)
        return {};
    return bytes;
}

// The parts of a stored hash; false when it is not one this service makes.
bool split(const QByteArray& stored, int& iterations, QByteArray& salt, QByteArray& key) {
    const QList<QByteArray> parts = stored.split('$');
    if (parts.size() != 4 || parts.at(0) != kScheme)
        return false;
    bool ok = false;
    iterations = parts.at(1).toInt(&ok);
    const auto strict = QByteArray::AbortOnBase64DecodingErrors;
    const auto decodedSalt = QByteArray::fromBase64Encoding(parts.at(2), strict);
    const auto decodedKey = QByteArray::fromBase64Encoding(parts.at(3), strict);
    if (!ok || iterations < 1 || iterations > kMaxIterations || !decodedSalt || !decodedKey ||
        decodedSalt.decoded.isEmpty() || decodedKey.decoded.size() != kKeyBytes)
        return false;
    salt = decodedSalt.decoded;
    key = decodedKey.decoded;
    return true;
}

QString systemError() {
    return QString::fromLocal8Bit(std::strerror(errno));
}

} // namespace

bool StorePasswords::isValidStoreId(const QString& id) {
    if (id.isEmpty() || id.size() > kMaxStoreId)
        return false;
    for (const QChar c : id) {
        const char16_t u = c.unicode();
        if (!((u >= u'A' && u <= u'Z') || (u >= u'a' && u <= u'z') || (u >= u'0' && u <= u'9') || u == u'.' ||
              u == u'-' || u == u'_'))
            return false;
    }
    return true;
}

QByteArray StorePasswords::hash(const QByteArray& password, int iterations) {
    const QByteArray salt = randomBytes(kSaltBytes);
    const QByteArray key = salt.isEmpty() ? QByteArray() : derive(password, salt, iterations);
    if (key.isEmpty())
        return {};
    return kScheme + '$' + QByteArray::number(iterations) + '$' + salt.toBase64() + '$' + key.toBase64();
}

bool StorePasswords::matches(const QByteArray& stored, const QByteArray& password) {
    int iterations = 0;
    QByteArray salt;
    QByteArray key;
    if (!split(stored, iterations, salt, key))
        return false;
    const QByteArray derived = derive(password, salt, iterations);
    return derived.size() == key.size() &&
           CRYPTO_memcmp(derived.constData(), key.constData(), key.size()) == 0;
}

bool StorePasswords::parse(const QByteArray& content, const QString& path, QHash<QString, QByteArray>& out,
                           QString& error) {
    out.clear();
    int number = 0;
    for (QByteArray line : content.split('\n')) {
        ++number;
        line = line.trimmed();
        if (line.isEmpty() || line.startsWith('#'))
            continue;
        const qsizetype colon = line.indexOf(':');
        const QString store = QString::fromLatin1(line.left(std::max<qsizetype>(colon, 0)));
        int iterations = 0;
        QByteArray salt;
        QByteArray key;
        if (colon < 0 || !isValidStoreId(store) || !split(line.mid(colon + 1), iterations, salt, key)) {
            error = QStringLiteral("%1:%2: not a \"store-id:hash\" line made by memberd --add-store")
                        .arg(path)
                        .arg(number);
            return false;
        }
        if (out.contains(store)) {
            error = QStringLiteral("%1:%2: store %3 is named twice").arg(path).arg(number).arg(store);
            return false;
        }
        out.insert(store, line.mid(colon + 1));
    }
    return true;
}

bool StorePasswords::stampOf(const QString& path, Stamp& stamp) {
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return false;
    stamp.inode = st.st_ino;
    stamp.size = st.st_size;
    stamp.modifiedNs = static_cast<qint64>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    return true;
}

bool StorePasswords::load(const QString& path, QString& error) {
    Stamp stamp;
    QFile file(path);
    if (!stampOf(path, stamp) || !file.open(QIODevice::ReadOnly)) {
        error = QStringLiteral("cannot read the store passwords %1: %2").arg(path, file.errorString());
        return false;
    }
    QHash<QString, QByteArray> hashes;
    if (!parse(file.readAll(), path, hashes, error))
        return false;
    std::lock_guard lock(m_mutex);
    if (m_digestKey.isEmpty())
        m_digestKey = randomBytes(32);
    if (m_decoy.isEmpty())
        m_decoy = hash(randomBytes(16));
    m_path = path;
    m_stamp = stamp;
    m_hashes = std::move(hashes);
    m_verified.clear();
    return true;
}

bool StorePasswords::open(const QString& path, QStringList& warnings, QString& error) {
    if (!SecretSources::checkFile(path, warnings, error) || !load(path, error))
        return false;
    if (isEmpty()) {
        error = QStringLiteral("%1 names no store: add one with memberd --add-store ID --store-passwords %1")
                    .arg(path);
        return false;
    }
    return true;
}

bool StorePasswords::refresh(QString& error) {
    QString path;
    {
        std::lock_guard lock(m_mutex);
        Stamp now;
        if (m_path.isEmpty() || (stampOf(m_path, now) && now == m_stamp))
            return true;
        path = m_path;
        // Tried once per change: a broken file is reported once, not at each log-in.
        m_stamp = now;
    }
    StorePasswords fresh;
    if (!fresh.load(path, error))
        return false;
    std::lock_guard lock(m_mutex);
    m_hashes = std::move(fresh.m_hashes);
    m_stamp = fresh.m_stamp;
    m_verified.clear();
    return true;
}

bool StorePasswords::isEmpty() const {
    std::lock_guard lock(m_mutex);
    return m_hashes.isEmpty();
}

bool StorePasswords::contains(const QString& store) const {
    std::lock_guard lock(m_mutex);
    return m_hashes.contains(store);
}

QByteArray StorePasswords::remembered(const QString& store, const QByteArray& password) const {
    return QMessageAuthenticationCode::hash(store.toLatin1() + '\0' + password, m_digestKey,
                                            QCryptographicHash::Sha256);
}

bool StorePasswords::verify(const QString& store, const QByteArray& password) {
    QByteArray stored;
    QByteArray digest;
    QByteArray decoy;
    {
        std::lock_guard lock(m_mutex);
        digest = remembered(store, password);
        const auto known = m_verified.constFind(store);
        if (known != m_verified.cend() && constantTimeEquals(known.value(), digest))
            return true;
        stored = m_hashes.value(store);
        decoy = m_decoy;
    }
    // An unknown store is answered after a derivation as long as a real one.
    const bool right = matches(stored.isEmpty() ? decoy : stored, password) && !stored.isEmpty();
    if (right) {
        std::lock_guard lock(m_mutex);
        if (m_hashes.value(store) == stored)
            m_verified.insert(store, digest);
    }
    return right;
}

bool StorePasswords::add(const QString& path, const QString& store, const QByteArray& password,
                         QString& error) {
    if (!isValidStoreId(store)) {
        error = QStringLiteral("not a store id: %1 (1-20 of A-Z a-z 0-9 . - _)").arg(store);
        return false;
    }
    const QByteArray hashed = hash(password);
    if (hashed.isEmpty()) {
        error = QStringLiteral("cannot make the hash (OpenSSL)");
        return false;
    }
    const QByteArray name = QFile::encodeName(path);
    // Two additions at once each keep the other's line.
    const int lockFd = ::open((name + ".lock").constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (lockFd < 0 || ::flock(lockFd, LOCK_EX) != 0) {
        error = QStringLiteral("cannot lock %1.lock: %2").arg(path, systemError());
        if (lockFd >= 0)
            ::close(lockFd);
        return false;
    }
    const auto done = [&](bool ok) {
        ::close(lockFd);
        return ok;
    };
    QByteArray content;
    QFile old(path);
    if (old.exists()) {
        if (!old.open(QIODevice::ReadOnly)) {
            error = QStringLiteral("cannot read %1: %2").arg(path, old.errorString());
            return done(false);
        }
        QHash<QString, QByteArray> existing;
        content = old.readAll();
        if (!parse(content, path, existing, error))
            return done(false);
    }
    QByteArray rewritten;
    const QByteArray line = store.toLatin1() + ':' + hashed;
    bool replaced = false;
    QList<QByteArray> lines = content.split('\n');
    if (!lines.isEmpty() && lines.constLast().isEmpty())
        lines.removeLast();
    for (const QByteArray& existing : lines) {
        if (existing.trimmed().startsWith(store.toLatin1() + ':')) {
            if (!replaced)
                rewritten += line + '\n';
            replaced = true;
            continue;
        }
        rewritten += existing + '\n';
    }
    if (!replaced)
        rewritten += line + '\n';

    QByteArray temp = name + ".XXXXXX";
    const int fd = ::mkostemp(temp.data(), O_CLOEXEC);
    if (fd < 0) {
        error = QStringLiteral("cannot write beside %1: %2").arg(path, systemError());
        return done(false);
    }
    qsizetype written = 0;
    while (written < rewritten.size()) {
        const ssize_t n =
            ::write(fd, rewritten.constData() + written, static_cast<size_t>(rewritten.size() - written));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        written += n;
    }
    const bool synced = written == rewritten.size() && ::fchmod(fd, 0600) == 0 && ::fsync(fd) == 0;
    ::close(fd);
    if (!synced || ::rename(temp.constData(), name.constData()) != 0) {
        error = QStringLiteral("cannot write %1: %2").arg(path, systemError());
        ::unlink(temp.constData());
        return done(false);
    }
    return done(true);
}

} // namespace memberd
