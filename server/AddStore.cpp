#include "server/AddStore.h"

#include "common/CodePage.h"
#include "server/StorePasswords.h"

#include <QByteArray>
#include <cstdio>
#include <termios.h>
#include <unistd.h>

namespace memberd {

namespace {

void say(const QString& text) {
    std::fprintf(stderr, "%s\n", text.toLocal8Bit().constData());
}

// One line of standard input without its line end; with echo off on a terminal.
bool readLine(bool terminal, const char* prompt, QByteArray& line) {
    termios saved{};
    if (terminal) {
        std::fprintf(stderr, "%s", prompt);
        std::fflush(stderr);
        ::tcgetattr(STDIN_FILENO, &saved);
        termios quiet = saved;
        quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
        ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet);
    }
    line.clear();
    bool ended = false;
    for (int c = std::getchar(); c != EOF; c = std::getchar()) {
        if (c == '\n') {
            ended = true;
            break;
        }
        line += static_cast<char>(c);
    }
    if (terminal) {
        ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &saved);
        std::fprintf(stderr, "\n");
    }
    if (line.endsWith('\r'))
        line.chop(1);
    return ended || !line.isEmpty();
}

} // namespace

int addStore(const QString& file, const QString& store, const QString& codePage) {
    if (!StorePasswords::isValidStoreId(store)) {
        say(QStringLiteral("not a store id: %1 (1-20 of A-Z a-z 0-9 . - _)").arg(store));
        return 2;
    }
    const bool terminal = ::isatty(STDIN_FILENO) == 1;
    QByteArray first;
    if (!readLine(terminal, "password: ", first) || first.isEmpty()) {
        say(QStringLiteral("no password on standard input; nothing changed"));
        return 2;
    }
    if (terminal) {
        QByteArray again;
        if (!readLine(terminal, "again: ", again) || again != first) {
            say(QStringLiteral("the two passwords differ; nothing changed"));
            return 2;
        }
    }
    const QString password = QString::fromUtf8(first);
    const tolva::CodePage cp(codePage);
    const QByteArray encoded = cp.encode(password);
    if (password.contains(QLatin1Char('\t')) || cp.decode(encoded) != password) {
        say(QStringLiteral("the password holds a TAB or characters the code page cannot carry; nothing "
                           "changed"));
        return 2;
    }
    QString error;
    if (!StorePasswords::add(file, store, encoded, error)) {
        say(error);
        return 1;
    }
    say(QStringLiteral("store %1: password set in %2").arg(store, file));
    return 0;
}

} // namespace memberd
