#include "dialogs/ResultWindow.h"

#include "dialogs/ControlNames.h"
#include "dialogs/TickSource.h"
#include "dialogs/WindowUtilities.h"

#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QVBoxLayout>

namespace tolva {

namespace {
// Read from arm's length at 1024 x 768; larger on a larger till.
constexpr int kTextPixels = 40;
} // namespace

ResultWindow::ResultWindow(QWidget* parent, TickSource* ticks) : QDialog(parent), m_ticks(ticks) {
    nameControl(this, QStringLiteral("frmResult"));
    setModal(true);
    setWindowFlags(windowFlags() | Qt::FramelessWindowHint);
    const double scale = parent ? tillScale(parent->window()->size()) : 1.0;
    // Set in the window's own style, which wins over the style of the
    // window it serves.
    setStyleSheet(QStringLiteral("QDialog#frmResult { background: #fffde7; border: 4px solid #2e7d32; }"
                                 "QLabel#lblResult { font-size: %1px; font-weight: bold; }")
                      .arg(textPixels(scale)));

    m_text = new QLabel(this);
    nameControl(m_text, QStringLiteral("lblResult"));
    m_text->setAlignment(Qt::AlignCenter);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(qRound(32 * scale), qRound(24 * scale), qRound(32 * scale),
                               qRound(24 * scale));
    layout->addWidget(m_text);

    if (!m_ticks)
        m_ticks = new TimerTickSource(this);
    connect(m_ticks, &TickSource::ticked, this, &QDialog::accept);
}

ResultWindow::~ResultWindow() {
    m_ticks->stop();
}

int ResultWindow::textPixels(double scale) {
    return qRound(kTextPixels * scale);
}

void ResultWindow::showResult(const QString& text, int milliseconds) {
    if (milliseconds <= 0)
        return;
    m_text->setText(text);
    adjustSize();
    CenterOnWindow(this, parentWidget());
    m_ticks->start(milliseconds);
    exec();
    m_ticks->stop();
}

void ResultWindow::mousePressEvent(QMouseEvent* event) {
    event->accept();
    accept();
}

void ResultWindow::keyPressEvent(QKeyEvent* event) {
    event->accept();
    accept();
}

} // namespace tolva
