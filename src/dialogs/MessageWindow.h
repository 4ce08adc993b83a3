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
// press, a click on the frame or a click on the message. Given no seconds
// (Dialogs::kUntilTouched) it beeps twice and stays until touched. A new
// window serves each showing and is destroyed by its caller when it has
// closed. Its text is large (textPixels, growing with the window it serves,
// set in its own style so the served window's style cannot shrink it) and the
// box is as large as its text, centred on the window it serves.
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
    // The message's size in pixels at a scale of the window served.
    static int textPixels(double scale);
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
    // Sizes the message box to its text, within a till's width.
    void fitText();

    Setup m_setup;
    QFrame* m_frame1 = nullptr;
    QLabel* m_imgLogo = nullptr;
    QLabel* m_lblCustName = nullptr;
    QTextEdit* m_txtMsg = nullptr;
    QLabel* m_lblMsg = nullptr;
    TickSource* m_timer = nullptr;
    int m_seconds = 3;
    int m_count = 0;
    double m_scale = 1.0;
};

} // namespace tolva
