#pragma once

#include <QDate>
#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <optional>

namespace tolva {

// Every question the program puts to the operator and every box it shows goes
// through this interface. The widget build implements it with real dialogs;
// tests implement it with a fake that records and answers as scripted.
class Dialogs {
public:
    enum class Icon { None, Information, Warning, Critical };

    virtual ~Dialogs() = default;

    virtual void beep() = 0;
    virtual void busyPointer() = 0;
    virtual void normalPointer() = 0;

    // A modal box with an OK button.
    virtual void messageBox(const QString& text, Icon icon, const QString& title) = 0;
    // A modal box with Yes and No; true for Yes.
    virtual bool askYesNo(const QString& text, Icon icon, const QString& title) = 0;
    // A modal text-input box; nullopt when the operator cancels.
    virtual std::optional<QString> inputBox(const QString& title, const QString& prompt,
                                            const QString& defaultText) = 0;

    // The message window: shows the text, beeps once a second and closes by
    // itself after the given seconds, or at once on a key or a click. With
    // kUntilTouched it beeps twice and stays until the operator touches it
    // or presses a key.
    static constexpr int kUntilTouched = 0;
    virtual void ShowMsg(const QString& message, int seconds = 3) = 0;
    // A refusal or a failure the operator must read before going on: the
    // message window, staying until touched.
    void ShowRefusal(const QString& message) { ShowMsg(message, kUntilTouched); }

    // What a posting did, in large type: up for the given milliseconds, or
    // until a touch or a key ends it at once; 0 or less shows nothing.
    virtual void ShowResult(const QString& text, int milliseconds) = 0;

    // The on-screen keypads. Each returns true when the operator confirmed;
    // only then is text written. ShowInput2 takes a caption; EnterPWD masks.
    enum class Keypad { Numeric, Alphanumeric };
    virtual bool ShowInput(Keypad keypad, QString& text, const std::optional<QString>& defaultText = {}) = 0;
    virtual bool ShowInput2(Keypad keypad, QString& text, const QString& header,
                            const std::optional<QString>& defaultText = {}) = 0;
    virtual bool EnterPWD(Keypad keypad, QString& text, const std::optional<QString>& defaultText = {}) = 0;

    // --- The calendar and the code picker ---

    // The calendar "frmFgDate". True when the operator touched a day; only
    // then is datePicked (DATEPICKED) written. With pvDate the calendar opens
    // on that date's month (today's when it does not read as a date);
    // without it, on the month it showed last.
    virtual bool PickDate(QDate& datePicked, const std::optional<QVariant>& pvDate = std::nullopt) = 0;

    // The code picker "frmCode" over rows the caller has read: column 0 the
    // code, column 1 its description, further columns ignored. With no rows
    // it shows nothing and answers false. Otherwise it shows the list and
    // answers true once it has closed; code (and description, when asked
    // for) are written only when the operator picked a row, so Escape leaves
    // them as they were. Non-empty labels replace the headers "代碼", "說明".
    virtual bool ShowPick(const QList<QStringList>& rows, QString& code, QString* description = nullptr,
                          const QString& pvLabel1 = QString(), const QString& pvLabel2 = QString()) = 0;

    // The save-file dialog. filter lists description and pattern pairs, each
    // ended by "|" ("csv檔案(*.csv)|*.csv|所有檔案|*.*|"); proposedName is the
    // name offered. The full path chosen, as typed (no extension is added);
    // nullopt when the operator cancels.
    virtual std::optional<QString> saveFileDialog(const QString& filter, const QString& proposedName) = 0;
};

} // namespace tolva
