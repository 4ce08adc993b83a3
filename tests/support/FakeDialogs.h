#pragma once

#include "common/Dialogs.h"

#include <QList>
#include <QQueue>
#include <QString>
#include <functional>

// Records every box the program shows and answers questions as scripted.
class FakeDialogs : public tolva::Dialogs {
public:
    struct Shown {
        QString kind; // "box", "ask", "input"
        QString text;
        Icon icon = Icon::None;
        QString title;
    };

    int beeps = 0;
    int normalPointers = 0;
    int busyPointers = 0;
    QList<Shown> shown;
    QQueue<bool> yesNoAnswers;             // empty queue answers Yes
    QQueue<std::optional<QString>> inputs; // empty queue cancels
    // Runs as each box, question or message window comes up, while the
    // program waits on it: a test looks at what the operator's wait holds
    // up (a lock, a transaction) at that moment.
    std::function<void()> whileShown;

    void beep() override { ++beeps; }
    void busyPointer() override { ++busyPointers; }
    void normalPointer() override { ++normalPointers; }
    void messageBox(const QString& text, Icon icon, const QString& title) override;
    bool askYesNo(const QString& text, Icon icon, const QString& title) override;
    std::optional<QString> inputBox(const QString& title, const QString& prompt,
                                    const QString& defaultText) override;

    // Message-window texts in order, and the keypad answers to give
    // (nullopt: the operator left without confirming; empty queue: leaves).
    QStringList msgs;
    QList<int> msgSeconds;
    QQueue<std::optional<QString>> keypadAnswers;
    QList<Keypad> keypadsShown;
    // Per keypad shown: the field it names (empty without one) and the
    // value it opened with.
    QStringList keypadHeaders;
    QList<std::optional<QString>> keypadDefaults;

    void ShowMsg(const QString& message, int seconds) override {
        if (whileShown)
            whileShown();
        msgs << message;
        msgSeconds << seconds;
    }
    // Posting results in order, with the time each was to stay up (also
    // those asked for with 0, which the real window does not show).
    QStringList results;
    QList<int> resultMilliseconds;
    void ShowResult(const QString& text, int milliseconds) override {
        results << text;
        resultMilliseconds << milliseconds;
    }
    bool ShowInput(Keypad keypad, QString& text, const std::optional<QString>& defaultText) override;
    bool ShowInput2(Keypad keypad, QString& text, const QString& header,
                    const std::optional<QString>& defaultText) override;
    bool EnterPWD(Keypad keypad, QString& text, const std::optional<QString>& defaultText) override;

    // The calendar: the dates the operator touches, in order (nullopt:
    // "離開"; an empty queue leaves). Every call's start date is recorded.
    QQueue<std::optional<QDate>> dateAnswers;
    QList<std::optional<QVariant>> datePickCalls;
    bool PickDate(QDate& datePicked, const std::optional<QVariant>& pvDate = std::nullopt) override;

    // The code picker: per showing the row the operator picks (nullopt:
    // Escape; an empty queue escapes). Only showings are recorded: a call
    // with no rows shows nothing.
    struct Pick {
        QList<QStringList> rows;
        QString label1;
        QString label2;
    };
    QList<Pick> picksShown;
    QQueue<std::optional<int>> pickAnswers;
    bool ShowPick(const QList<QStringList>& rows, QString& code, QString* description = nullptr,
                  const QString& pvLabel1 = QString(), const QString& pvLabel2 = QString()) override;

    // Save-file dialogs: the proposed name and filter of each, and the paths
    // to answer (nullopt or an empty queue: cancelled).
    QStringList saveProposals;
    QStringList saveFilters;
    QQueue<std::optional<QString>> saveAnswers;
    std::optional<QString> saveFileDialog(const QString& filter, const QString& proposedName) override {
        saveFilters << filter;
        saveProposals << proposedName;
        return saveAnswers.isEmpty() ? std::nullopt : saveAnswers.dequeue();
    }

    // Texts of every box shown, in order.
    QStringList texts() const;

    // What was recorded, read safely: an empty value when nothing (or less)
    // was shown, so that a check on it fails as a FAIL and the test program
    // goes on (and ends what it started) instead of crashing on an empty list.
    QString lastMsg() const { return msgs.value(msgs.size() - 1); }
    QString msgAt(qsizetype i) const { return msgs.value(i); }
    QString lastResult() const { return results.value(results.size() - 1); }
    int lastResultMilliseconds() const { return resultMilliseconds.value(resultMilliseconds.size() - 1, -1); }
    Shown shownAt(qsizetype i) const { return shown.value(i); }
    Shown lastShown() const { return shown.value(shown.size() - 1); }
    QString lastText() const {
        const QStringList all = texts();
        return all.value(all.size() - 1);
    }
    Pick lastPick() const { return picksShown.value(picksShown.size() - 1); }
    Pick pickAt(qsizetype i) const { return picksShown.value(i); }
    std::optional<QVariant> datePickCallAt(qsizetype i) const { return datePickCalls.value(i); }
    QString saveFilterAt(qsizetype i) const { return saveFilters.value(i); }
    QString lastSaveProposal() const { return saveProposals.value(saveProposals.size() - 1); }
};
