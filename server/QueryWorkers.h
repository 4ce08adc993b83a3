#pragma once

#include "StatementChecker.h"

#include <QByteArray>
#include <QString>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace memberd {

// One SELECT or SERVER request of a logged-in connection.
struct Job {
    quint64 session = 0;
    QByteArray prefix;
    QByteArray command; // "SELECT" or "SERVER"
    QByteArray data;    // SQL text in the code page
};

struct JobResult {
    quint64 session = 0;
    QByteArray reply;
    QString logLine; // a refusal or a database error; empty when all went well
};

// Runs the statements on a few threads, each with its own database
// connection, so that one slow query does not hold up the other desks. With
// SQLite, statements that write take one lock of the process in turn (reads
// go on beside them); other processes are kept in order by SQLite's own
// lock and its busy wait.
class QueryWorkers {
public:
    struct Config {
        QString connectionString;
        QString codePage;
        bool allowAnySql = false;
        int threads = 4;
    };
    // deliver is called on a worker thread; it must hand the result over to
    // the thread that owns the sockets.
    QueryWorkers(Config config, std::function<void(JobResult)> deliver);
    ~QueryWorkers();
    QueryWorkers(const QueryWorkers&) = delete;
    QueryWorkers& operator=(const QueryWorkers&) = delete;

    // Opens one connection per thread; false with the reason when one fails.
    bool start(QString& error);
    void submit(Job job);
    // Lets the running statements finish and joins the threads.
    void stop();

private:
    void run(int index);

    Config m_config;
    std::function<void(JobResult)> m_deliver;
    std::vector<std::thread> m_threads;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::deque<Job> m_queue;
    bool m_stopping = false;

    std::mutex m_startMutex;
    std::condition_variable m_started;
    int m_ready = 0;
    QString m_startError;

    std::mutex m_sqliteWriter;
    StatementChecker m_checker;
};

} // namespace memberd
