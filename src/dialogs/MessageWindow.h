#pragma once

#include <QDialog>
#include <functional>

class QFrame;
class QLabel;
class QTextEdit;

namespace tolva {

class Reporter;
class TickSource;

// frmMsg, the short notice: shows one message, beeps once a second while it
// is up and closes by itself after the given seconds, or at once on a key
// press, a click on the frame or a click on the message. A new window serves
// each showing and is destroyed by its caller when it has closed.
class MessageWindow : public QDialog {
    Q_OBJECT
public:
    struct Setup {
        QString custName;             // gCustName, shown in lblCustName
        QString title;                // the window caption
        std::function<void()> beep;   // sounds one beep
        Reporter* reporter = nullptr; // ErrorMsg for the window's procedures
        TickSource* ticks = nullptr;  // one-second ticks; a timer of its own when null
    };

    explicit MessageWindow(Setup setup, QWidget* parent = nullptr);
    ~MessageWindow() override;

    // Shows pvMsg modally and returns when the window has closed.
    void ShowMsg(const QString& pvMsg, int pvSeconds = 3);

    int seconds() const { return m_seconds; }
    int tickCount() const { return m_count; }
    TickSource* Timer1() const { return m_timer; }

public slots:
    // One tick of Timer1: below the seconds it beeps, at the seconds it closes.
    void Timer1_Timer();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void done(int result) override;

private:
    void unload();

    Setup m_setup;
    QFrame* m_frame1 = nullptr;
    QLabel* m_imgLogo = nullptr;
    QLabel* m_lblCustName = nullptr;
    QTextEdit* m_txtMsg = nullptr;
    QLabel* m_lblMsg = nullptr;
    TickSource* m_timer = nullptr;
    int m_seconds = 3;
    int m_count = 0;
};

} // namespace tolva
