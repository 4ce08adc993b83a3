#pragma once

#include <QDialog>

class QLabel;

namespace tolva {

class TickSource;

// frmResult: what a posting did, in large type ("已扣點 500 ／ 餘額 17,550"),
// up for a short time and closed at once by a touch or a key. The type grows
// with the window it serves, like the desk's own.
class ResultWindow : public QDialog {
    Q_OBJECT
public:
    // ticks: where the one tick that closes the window comes from; a timer
    // of the window's own when null. Not owned.
    explicit ResultWindow(QWidget* parent = nullptr, TickSource* ticks = nullptr);
    ~ResultWindow() override;

    // Shows the text modally for the given milliseconds and returns when the
    // window has closed; shows nothing for 0 or less.
    void showResult(const QString& text, int milliseconds);

    // The text's size in pixels at the window's scale.
    static int textPixels(double scale);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    QLabel* m_text = nullptr;
    TickSource* m_ticks = nullptr;
};

} // namespace tolva
