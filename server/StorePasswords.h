#pragma once

#include <QByteArray>
#include <QHash>
#include <QString>
#include <QStringList>
#include <mutex>
#include <sys/types.h>

namespace memberd {

// The stores that may log in, each with a password of its own, kept in a
// file of "store-id:hash" lines (blank lines and lines starting with "#" are
// skipped). A hash is "pbkdf2-sha256$ITERATIONS$SALT$KEY" (salt and key in
// base64) over the password as it arrives on the wire, in the code page.
//
// The file is looked at again at each log-in and read anew when it changed,
// so a password replaced with --add-store holds from the next log-in on. A
// file that no longer reads keeps the stores read last (and says why once).
//
// Deriving a key is slow on purpose. A password that was right once is
// remembered as a keyed digest (the key random per process, never stored),
// so a store's desks logging in again and again cost one derivation, while
// every wrong password costs a full one.
class StorePasswords {
public:
    static constexpr int kIterations = 100000;

    // Reads path; false with a reason (the file's line for a bad one).
    bool load(const QString& path, QString& error);
    // The file memberd starts with: checked like every secret file (owner,
    // who may change it), read, and refused when it names no store.
    bool open(const QString& path, QStringList& warnings, QString& error);
    bool isEmpty() const;
    bool contains(const QString& store) const;
    // Whether password is store's. An unknown store takes a derivation too,
    // so the time taken does not tell which stores exist.
    bool verify(const QString& store, const QByteArray& password);
    // Re-reads the file when it changed since it was read; false with a
    // reason when it changed and no longer reads (the old stores stay).
    bool refresh(QString& error);

    // A store id: 1-20 of A-Z a-z 0-9 . - _ (it names a store in log rows
    // and keys, and stands before the ":" of its line).
    static bool isValidStoreId(const QString& id);
    static QByteArray hash(const QByteArray& password, int iterations = kIterations);
    static bool matches(const QByteArray& stored, const QByteArray& password);
    // Adds store's line to path, or replaces the one there, in one rename of
    // a new file (mode 0600); a missing file is created. False with a reason.
    static bool add(const QString& path, const QString& store, const QByteArray& password, QString& error);

private:
    struct Stamp {
        ino_t inode = 0;
        qint64 size = -1;
        qint64 modifiedNs = -1;
        bool operator==(const Stamp&) const = default;
    };
    static bool stampOf(const QString& path, Stamp& stamp);
    static bool parse(const QByteArray& content, const QString& path, QHash<QString, QByteArray>& out,
                      QString& error);
    QByteArray remembered(const QString& store, const QByteArray& password) const;

    mutable std::mutex m_mutex;
    QString m_path;
    Stamp m_stamp;
    QHash<QString, QByteArray> m_hashes;
    QHash<QString, QByteArray> m_verified; // store -> keyed digest of its right password
    QByteArray m_digestKey;
    QByteArray m_decoy; // an unknown store's password is checked against this hash
};

} // namespace memberd
