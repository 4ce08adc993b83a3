#pragma once

#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>
#include <functional>

namespace tolva {

class AppContext;
class DeskView;

// The status line elaMsg: a message shown highlighted with beeps, then drawn
// normal again after a short flash. Every page of the desk writes its
// information and field checks here. A text about what fields hold ("此帳單號
// 不存在") is emptied once one of those fields holds something else, so the
// line never speaks of a value the operator has already corrected.
class StatusLine {
public:
    StatusLine(AppContext& ctx, DeskView& view);

    // How the flash waits; tests hand in a no-op.
    void setPause(std::function<void(int milliseconds)> pause) { m_pause = std::move(pause); }

    // DispElaMsg: puts the text on the status line, highlights it, beeps.
    void show(const QString& text, int beeps = 2);
    // The same for a text about the values the fields hold now.
    void showAbout(const QStringList& fields, const QString& text, int beeps = 2);
    // The same for a text about values (field, value) the fields are given.
    void showAboutValues(const QList<QPair<QString, QString>>& values, const QString& text, int beeps = 2);
    // Empties the line when it still shows a text about fields and one of
    // them no longer holds the value the text was about.
    void dropStale();

private:
    AppContext& m_ctx;
    DeskView& m_view;
    std::function<void(int)> m_pause;
    // The text shown last with the fields it is about and their values then.
    QString m_shown;
    QList<QPair<QString, QString>> m_about;
};

} // namespace tolva
