#pragma once

#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>
#include <optional>

namespace tolva {

// The per-user settings store, addressed by application, section and key.
// Each application is one INI file "<folder>/<application>.ini" (the folder is
// $XDG_CONFIG_HOME, or ~/.config) with "[section]" and "key=value" lines in
// UTF-8. It is also the mailbox through which a POS station hands a
// transaction to the desk, so:
//  - every Get reads the file as it is on disk now (nothing is cached);
//  - every Save and Delete rewrites the file under an exclusive flock on
//    "<application>.ini.lock" and replaces it by an atomic rename, so a reader
//    never sees half a file and two writers never lose each other's keys.
// A missing file, section or key reads as the empty text; an unreadable or
// corrupt file reads as empty and the next Save writes a good one.
class SettingsStore {
public:
    // folder empty: $XDG_CONFIG_HOME, or ~/.config when that is not set.
    explicit SettingsStore(QString folder = QString());

    QString folder() const { return m_folder; }
    QString fileOf(const QString& application) const;

    QString Get(const QString& application, const QString& section, const QString& key) const;
    // Returns false when the file could not be written.
    bool Save(const QString& application, const QString& section, const QString& key, const QString& value);
    // Several keys of one section in one rewrite.
    bool Save(const QString& application, const QString& section,
              const QList<QPair<QString, QString>>& values);
    // Removes one key; a key that is already gone is no failure.
    bool Delete(const QString& application, const QString& section, const QString& key);
    bool Delete(const QString& application, const QString& section, const QStringList& keys);
    // Reads the keys and removes them in one rewrite under the lock, so of
    // two processes taking the same keys at once only one gets the values.
    // Values in the order of keys (empty when missing); none when the file
    // could not be written, and then nothing was removed.
    std::optional<QStringList> Take(const QString& application, const QString& section,
                                    const QStringList& keys);

    static QString defaultFolder();

private:
    struct Edit {
        QString key;
        std::optional<QString> value; // none: remove the key
    };
    // taken: when given, filled with the edited keys' values as they were
    // before the edits, read under the same lock.
    bool rewrite(const QString& application, const QString& section, const QList<Edit>& edits,
                 QStringList* taken = nullptr);

    QString m_folder;
};

} // namespace tolva
