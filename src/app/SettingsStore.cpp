#include "app/SettingsStore.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QSaveFile>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace tolva {

namespace {

struct Line {
    QString section; // the section this line belongs to
    QString key;     // empty for section headers, blank and foreign lines
    QString text;    // the line as it stands
};

QList<Line> parse(const QByteArray& bytes) {
    QList<Line> lines;
    QString section;
    for (QByteArray raw : bytes.split('\n')) {
        if (raw.endsWith('\r'))
            raw.chop(1);
        const QString text = QString::fromUtf8(raw);
        const QString trimmed = text.trimmed();
        if (trimmed.startsWith(QLatin1Char('[')) && trimmed.endsWith(QLatin1Char(']'))) {
            section = trimmed.mid(1, trimmed.size() - 2).trimmed();
            lines.append({section, QString(), text});
            continue;
        }
        const qsizetype eq = text.indexOf(QLatin1Char('='));
        const QString key =
            eq > 0 && !trimmed.startsWith(QLatin1Char(';')) ? text.left(eq).trimmed() : QString();
        lines.append({section, key, text});
    }
    while (!lines.isEmpty() && lines.last().text.trimmed().isEmpty() && lines.last().key.isEmpty())
        lines.removeLast();
    return lines;
}

// Sections and keys are compared without letter case, as the store on the
// tills has always done.
bool same(const QString& a, const QString& b) {
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

// The value of a key in the parsed lines; empty when missing.
QString valueOf(const QList<Line>& lines, const QString& section, const QString& key) {
    for (const Line& line : lines) {
        if (line.key.isEmpty() || !same(line.key, key) || !same(line.section, section))
            continue;
        return line.text.mid(line.text.indexOf(QLatin1Char('=')) + 1);
    }
    return QString();
}

QByteArray readAll(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray();
    return file.readAll();
}

// Holds an exclusive flock on a lock file beside the settings file.
class FileLock {
public:
    explicit FileLock(const QString& path) {
        m_fd = ::open(QFile::encodeName(path).constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
        if (m_fd >= 0 && ::flock(m_fd, LOCK_EX) != 0) {
            ::close(m_fd);
            m_fd = -1;
        }
    }
    ~FileLock() {
        if (m_fd >= 0) {
            ::flock(m_fd, LOCK_UN);
            ::close(m_fd);
        }
    }
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;
    bool held() const { return m_fd >= 0; }

private:
    int m_fd = -1;
};

} // namespace

SettingsStore::SettingsStore(QString folder)
    : m_folder(folder.isEmpty() ? defaultFolder() : std::move(folder)) {}

QString SettingsStore::defaultFolder() {
    const QString xdg = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (!xdg.isEmpty())
        return xdg;
    return QDir::homePath() + QStringLiteral("/.config");
}

QString SettingsStore::fileOf(const QString& application) const {
    return m_folder + QLatin1Char('/') + application + QStringLiteral(".ini");
}

QString SettingsStore::Get(const QString& application, const QString& section, const QString& key) const {
    return valueOf(parse(readAll(fileOf(application))), section, key);
}

bool SettingsStore::Save(const QString& application, const QString& section, const QString& key,
                         const QString& value) {
    return rewrite(application, section, {{key, value}});
}

bool SettingsStore::Save(const QString& application, const QString& section,
                         const QList<QPair<QString, QString>>& values) {
    QList<Edit> edits;
    for (const auto& [key, value] : values)
        edits.append({key, value});
    return rewrite(application, section, edits);
}

bool SettingsStore::Delete(const QString& application, const QString& section, const QString& key) {
    return rewrite(application, section, {{key, std::nullopt}});
}

bool SettingsStore::Delete(const QString& application, const QString& section, const QStringList& keys) {
    QList<Edit> edits;
    for (const QString& key : keys)
        edits.append({key, std::nullopt});
    return rewrite(application, section, edits);
}

std::optional<QStringList> SettingsStore::Take(const QString& application, const QString& section,
                                               const QStringList& keys) {
    QList<Edit> edits;
    for (const QString& key : keys)
        edits.append({key, std::nullopt});
    QStringList values;
    if (!rewrite(application, section, edits, &values))
        return std::nullopt;
    return values;
}

namespace {

// Sets (value) or removes (no value) one key in the parsed lines; true when
// the lines changed.
bool applyEdit(QList<Line>& lines, const QString& section, const QString& key,
               const std::optional<QString>& value) {
    // Values are one line; a line break would split the key.
    const QString text = value ? key + QLatin1Char('=') +
                                     QString(*value)
                                         .replace(QLatin1Char('\r'), QLatin1Char(' '))
                                         .replace(QLatin1Char('\n'), QLatin1Char(' '))
                               : QString();
    bool changed = false;
    bool placed = false;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        if (lines[i].key.isEmpty() || !same(lines[i].key, key) || !same(lines[i].section, section))
            continue;
        if (value && !placed) {
            changed = changed || lines[i].text != text;
            lines[i].text = text;
            placed = true;
        } else {
            lines.removeAt(i--);
            changed = true;
        }
    }
    if (!value || placed)
        return changed;

    qsizetype insertAt = -1;
    for (qsizetype i = 0; i < lines.size(); ++i)
        if (same(lines[i].section, section))
            insertAt = i + 1;
    if (insertAt < 0) {
        if (!lines.isEmpty())
            lines.append({QString(), QString(), QString()});
        lines.append({section, QString(), QLatin1Char('[') + section + QLatin1Char(']')});
        insertAt = lines.size();
    }
    while (insertAt > 0 && lines[insertAt - 1].key.isEmpty() && lines[insertAt - 1].text.trimmed().isEmpty())
        --insertAt;
    lines.insert(insertAt, {section, key, text});
    return true;
}

// A file holding a password is for its owner only: the link settings
// ("ZELQ", with the link password) always, any other file once it holds a
// password key or a connection string with a password.
bool holdsSecret(const QString& application, const QList<Line>& lines) {
    static const QRegularExpression secretValue(QStringLiteral("\\b(password|pwd)\\s*="),
                                                QRegularExpression::CaseInsensitiveOption);
    if (same(application, QStringLiteral("ZELQ")))
        return true;
    for (const Line& line : lines) {
        if (line.key.isEmpty())
            continue;
        if (same(line.key, QStringLiteral("PWD")) || same(line.key, QStringLiteral("Password")) ||
            secretValue.match(line.text.mid(line.text.indexOf(QLatin1Char('=')) + 1)).hasMatch())
            return true;
    }
    return false;
}

} // namespace

bool SettingsStore::rewrite(const QString& application, const QString& section, const QList<Edit>& edits,
                            QStringList* taken) {
    QDir().mkpath(m_folder);
    const QString path = fileOf(application);
    FileLock lock(path + QStringLiteral(".lock"));
    if (!lock.held())
        return false;

    QList<Line> lines = parse(readAll(path));
    if (taken)
        for (const Edit& edit : edits)
            taken->append(valueOf(lines, section, edit.key));
    bool changed = false;
    for (const Edit& edit : edits)
        changed = applyEdit(lines, section, edit.key, edit.value) || changed;
    // Nothing to change (a key already gone, a value already stored): the
    // file on disk already says so.
    if (!changed)
        return true;

    QByteArray out;
    for (const Line& line : lines)
        out += line.text.toUtf8() + '\n';
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    if (holdsSecret(application, lines) &&
        !file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner))
        return false;
    file.write(out);
    return file.commit();
}

} // namespace tolva
