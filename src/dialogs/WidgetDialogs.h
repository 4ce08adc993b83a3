#pragma once

#include "common/Dialogs.h"

#include <QPointer>
#include <QWidget>
#include <memory>

namespace tolva {

class AlphaNumKeypad;
class CalendarWindow;
class Clock;
class CodePicker;
class NumKeypad;
class Reporter;
class TickSource;
struct Globals;

// The operator dialogs with real widgets.
class WidgetDialogs : public Dialogs {
public:
    WidgetDialogs();
    ~WidgetDialogs() override;
    WidgetDialogs(const WidgetDialogs&) = delete;
    WidgetDialogs& operator=(const WidgetDialogs&) = delete;

    void setParent(QWidget* parent) { m_parent = parent; }
    // The program-wide values (gCustName, the title) and the reporter the
    // windows report their failures to. Both may be left unset.
    void setContext(const Globals* globals, Reporter* reporter);
    // The source of the message window's one-second ticks; a timer of the
    // window's own when unset. Not owned.
    void setMessageTicks(TickSource* ticks) { m_msgTicks = ticks; }
    // The source of the tick that closes the result window; a timer of the
    // window's own when unset. Not owned.
    void setResultTicks(TickSource* ticks) { m_resultTicks = ticks; }

    // The keypad windows, created on first use and kept for the run.
    NumKeypad& frmNumKey();
    AlphaNumKeypad& frmANumKey();
    // The calendar and the code picker, likewise kept for the run.
    CalendarWindow& frmFgDate();
    CodePicker& frmCode();
    // The clock the calendar takes today from; the system clock when unset.
    // Not owned; set it before the calendar's first use.
    void setClock(const Clock* clock) { m_clock = clock; }

    void beep() override;
    void busyPointer() override;
    void normalPointer() override;
    void messageBox(const QString& text, Icon icon, const QString& title) override;
    bool askYesNo(const QString& text, Icon icon, const QString& title) override;
    std::optional<QString> inputBox(const QString& title, const QString& prompt,
                                    const QString& defaultText) override;

    // frmMsg, a new window each call; frmNumKey and frmANumKey.
    void ShowMsg(const QString& message, int seconds = 3) override;
    // frmResult, a new window each call.
    void ShowResult(const QString& text, int milliseconds) override;
    bool ShowInput(Keypad keypad, QString& text, const std::optional<QString>& defaultText = {}) override;
    bool ShowInput2(Keypad keypad, QString& text, const QString& header,
                    const std::optional<QString>& defaultText = {}) override;
    bool EnterPWD(Keypad keypad, QString& text, const std::optional<QString>& defaultText = {}) override;

    bool PickDate(QDate& datePicked, const std::optional<QVariant>& pvDate = std::nullopt) override;
    bool ShowPick(const QList<QStringList>& rows, QString& code, QString* description = nullptr,
                  const QString& pvLabel1 = QString(), const QString& pvLabel2 = QString()) override;

    // QFileDialog; the filter's "description|pattern|" pairs become Qt's
    // "description (pattern);;" list.
    std::optional<QString> saveFileDialog(const QString& filter, const QString& proposedName) override;
    static QString qtFilter(const QString& filter);

private:
    QPointer<QWidget> m_parent;
    const Globals* m_globals = nullptr;
    Reporter* m_reporter = nullptr;
    TickSource* m_msgTicks = nullptr;
    TickSource* m_resultTicks = nullptr;
    std::unique_ptr<NumKeypad> m_numKey;
    std::unique_ptr<AlphaNumKeypad> m_aNumKey;
    const Clock* m_clock = nullptr;
    std::unique_ptr<CalendarWindow> m_fgDate;
    std::unique_ptr<CodePicker> m_code;
};

} // namespace tolva
