#pragma once

#include <QDialog>
#include <optional>

class QHBoxLayout;
class QLabel;
class QLineEdit;
class QPushButton;

namespace tolva {

class Reporter;

// What the two on-screen keypads share: the prompt line elaMsg, the display
// txtDisp, the status strip elaSBar, the 4 x 4 numeric block and one modal
// showing that re-initialises everything and hands the text back only when
// the operator confirmed. A keypad is hidden, never destroyed, when it closes;
// the same instance serves every later call.
class KeypadWindow : public QDialog {
    Q_OBJECT
public:
    ~KeypadWindow() override;

    void setReporter(Reporter* reporter) { m_reporter = reporter; }
    bool isAccepted() const { return m_accepted; }
    QLineEdit* txtDisp() const { return m_txtDisp; }
    QLabel* elaMsg() const { return m_elaMsg; }

    // Key actions, as the on-screen keys run them.
    void cmdNum_Click(int index);
    void cmdDel_Click();
    void cmdBack_Click();
    void cmdEnter_Click();
    void cmdExit_Click();

protected:
    KeypadWindow(const QString& name, const QString& loadTitle, int displayPointSize, Reporter* reporter,
                 QWidget* parent);

    // One showing. Returns true and writes pvInputText only when confirmed.
    bool showKeypad(const QString& procedure, QString& pvInputText, const QString& caption,
                    const QString& prompt, bool masked, const std::optional<QString>& pvDefault,
                    int displayPointSize);

    // Appends a key's text to the display and moves the focus on.
    void appendKey(const QString& keyText);
    // Where the focus goes after a key changed the display.
    virtual void afterAppend() = 0;
    virtual void afterEdit() = 0;

    QString procName(const char* procedure) const;
    static QPushButton* makeKey(QWidget* parent, const QString& name, const QString& caption, int pointSize,
                                QSize size);
    // Filters key presses of the window and every control in it.
    void previewKeys();
    void showEvent(QShowEvent* event) override;

    Reporter* m_reporter = nullptr;
    QLabel* m_elaMsg = nullptr;
    QLineEdit* m_txtDisp = nullptr;
    QLabel* m_elaSBar = nullptr;
    QWidget* m_numBlock = nullptr;
    QHBoxLayout* m_keys = nullptr; // the key blocks, side by side
    QPushButton* m_cmdEnter = nullptr;
    // Set before each showing; only "確定" (or Enter) sets it, so closing the
    // window any other way counts as not accepted.
    bool m_accepted = false;

private:
    QWidget* buildNumericBlock();
};

} // namespace tolva
