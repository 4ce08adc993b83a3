#pragma once

#include <QObject>
#include <QString>
#include <QTimer>

namespace memberd {

// Keeps the key table of keyed postings from growing without bound: keys
// older than a number of days (by PostKey.FileDate) are removed when memberd
// starts and once a day after that, on a database connection of its own. A
// desk learns a posting's outcome by its key within minutes; a key removed
// is unknown again, so the time kept is long (400 days by default).
class KeyRetention : public QObject {
    Q_OBJECT
public:
    KeyRetention(QString connectionString, int days, QObject* parent = nullptr);

    // Removes the old keys now and starts the daily round.
    void start();
    // Removes the keys older than days; the number removed, or -1 (logged)
    // when the database refused.
    int purge();

private:
    QString m_connectionString;
    int m_days;
    QTimer m_daily;
};

} // namespace memberd
