#include "dialogs/MessageWindow.h"

#include "dialogs/ControlNames.h"
#include "dialogs/TickSource.h"
#include "dialogs/WindowUtilities.h"

#include <QEvent>
#include <QFontMetricsF>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QTextDocument>
#include <QTextEdit>
#include <QTextOption>
#include <QVBoxLayout>
#include <QtMath>

#include <algorithm>

namespace tolva {

namespace {
// Sizes at a 1024 x 768 till, in pixels; they grow with the window served.
constexpr int kTextPixels = 32;
constexpr int kSiteNamePixels = 28;
constexpr int kDescriptionPixels = 24;
constexpr int kLogoPixels = 96;
// The message box wraps its text at this width and is never narrower than
// the minimum, so a short word still reads as a notice.
constexpr int kMaxTextWidth = 600;
constexpr int kMinTextWidth = 280;
// Beeps of a message that stays until touched.
constexpr int kLastingBeeps = 2;

// The window's fixed picture: a notice sign, a white "i" on a blue disc.
QPixmap logo(int size) {
    QPixmap pm(size, size);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(0x1f, 0x3f, 0x7f), 3));
    p.setBrush(QColor(0x2f, 0x6f, 0xcf));
    p.drawEllipse(QRectF(3, 3, size - 6, size - 6));
    p.setPen(Qt::white);
    QFont font(QStringLiteral("Times New Roman"));
    font.setPixelSize(size / 2);
    font.setBold(true);
    p.setFont(font);
    p.drawText(QRect(0, 0, size, size), Qt::AlignCenter, QStringLiteral("i"));
    return pm;
}

int scaled(int pixels, double scale) {
    return qRound(pixels * scale);
}
} // namespace

int MessageWindow::textPixels(double scale) {
    return scaled(kTextPixels, scale);
}

MessageWindow::MessageWindow(Setup setup, QWidget* parent) : QDialog(parent), m_setup(std::move(setup)) {
    nameControl(this, QStringLiteral("frmMsg"));
    setWindowTitle(m_setup.title);
    setModal(true);
    m_scale = parent ? tillScale(parent->window()->size()) : 1.0;
    // The sizes are set in the window's own style: a style sheet on the
    // window it serves would win over fonts set on the controls.
    setStyleSheet(QStringLiteral("QTextEdit#txtMsg { font-size: %1px; font-weight: bold; border: none; "
                                 "background: transparent; }"
                                 "QLabel#lblCustName { font-size: %2px; font-weight: bold; }"
                                 "QLabel#lblMsg { font-size: %3px; }")
                      .arg(textPixels(m_scale))
                      .arg(scaled(kSiteNamePixels, m_scale))
                      .arg(scaled(kDescriptionPixels, m_scale)));

    m_frame1 = new QFrame(this);
    nameControl(m_frame1, QStringLiteral("Frame1"));
    m_frame1->setFrameShape(QFrame::StyledPanel);
    m_frame1->setFrameShadow(QFrame::Raised);
    m_frame1->setLineWidth(2);

    m_imgLogo = new QLabel(m_frame1);
    nameControl(m_imgLogo, QStringLiteral("imgLogo"));
    const int logoSize = scaled(kLogoPixels, m_scale);
    m_imgLogo->setPixmap(logo(logoSize));
    m_imgLogo->setFixedSize(logoSize + 8, logoSize + 8);
    m_imgLogo->setAlignment(Qt::AlignCenter);

    m_lblCustName = new QLabel(m_frame1);
    nameControl(m_lblCustName, QStringLiteral("lblCustName"));
    m_lblCustName->setFont(makeFont(QStringLiteral("Arial"), 22, true));
    m_lblCustName->setAlignment(Qt::AlignCenter);

    m_txtMsg = new QTextEdit(m_frame1);
    nameControl(m_txtMsg, QStringLiteral("txtMsg"));
    m_txtMsg->setReadOnly(true);
    m_txtMsg->setFocusPolicy(Qt::NoFocus);
    m_txtMsg->setTextInteractionFlags(Qt::NoTextInteraction);
    m_txtMsg->setFont(makeFont(QStringLiteral("Times New Roman"), 28, true));
    m_txtMsg->document()->setDefaultTextOption(QTextOption(Qt::AlignHCenter));
    m_txtMsg->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_txtMsg->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);

    // The program carries no description text, so the line stays empty.
    m_lblMsg = new QLabel(m_frame1);
    nameControl(m_lblMsg, QStringLiteral("lblMsg"));
    m_lblMsg->setFont(makeFont(QStringLiteral("Times New Roman"), 20, false));
    m_lblMsg->setAlignment(Qt::AlignCenter);

    auto* text = new QVBoxLayout;
    text->addWidget(m_lblCustName);
    text->addWidget(m_txtMsg, 1);
    text->addWidget(m_lblMsg);
    auto* inFrame = new QHBoxLayout(m_frame1);
    const int margin = scaled(16, m_scale);
    inFrame->setContentsMargins(margin, margin, margin, margin);
    inFrame->setSpacing(margin);
    inFrame->addWidget(m_imgLogo, 0, Qt::AlignVCenter);
    inFrame->addLayout(text, 1);
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(6, 6, 6, 6);
    outer->addWidget(m_frame1);
    outer->setSizeConstraint(QLayout::SetFixedSize);

    m_timer = m_setup.ticks;
    if (!m_timer) {
        m_timer = new TimerTickSource(this);
        nameControl(m_timer, QStringLiteral("Timer1"));
    }
    connect(m_timer, &TickSource::ticked, this, &MessageWindow::Timer1_Timer);

    // Every key typed anywhere in the window closes it, whichever control
    // holds the focus; clicks close it on the frame and on the message.
    installEventFilter(this);
    const auto children = findChildren<QWidget*>();
    for (QWidget* child : children)
        child->installEventFilter(this);

    // Load step.
    m_lblCustName->setText(m_setup.custName);
    m_lblMsg->clear();
    m_txtMsg->clear();
}

MessageWindow::~MessageWindow() = default;

void MessageWindow::ShowMsg(const QString& pvMsg, int pvSeconds) {
    guardedVoid(m_setup.reporter, QStringLiteral("frmMsg_ShowMsg"), [&] {
        m_seconds = pvSeconds;
        m_count = 0;
        m_timer->start(1000);
        m_txtMsg->setPlainText(pvMsg);
        // Empty lines take no room.
        m_lblCustName->setVisible(!m_lblCustName->text().isEmpty());
        m_lblMsg->setVisible(!m_lblMsg->text().isEmpty());
        fitText();
        CenterOnWindow(this, parentWidget());
        exec();
    });
}

void MessageWindow::Timer1_Timer() {
    guardedVoid(m_setup.reporter, QStringLiteral("frmMsg_Timer1_Timer"), [&] {
        if (!isVisible())
            return;
        ++m_count;
        if (m_seconds <= 0) {
            // A refusal stays until touched; it calls the operator twice.
            if (m_count <= kLastingBeeps && m_setup.beep)
                m_setup.beep();
            if (m_count >= kLastingBeeps)
                m_timer->stop();
        } else if (m_count < m_seconds) {
            if (m_setup.beep)
                m_setup.beep();
        } else {
            unload();
        }
    });
}

bool MessageWindow::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
    case QEvent::KeyPress:
        unload();
        return true;
    case QEvent::MouseButtonRelease:
        if (watched == m_frame1 || watched == m_txtMsg || watched == m_txtMsg->viewport()) {
            unload();
            return true;
        }
        break;
    default:
        break;
    }
    return QDialog::eventFilter(watched, event);
}

void MessageWindow::done(int result) {
    m_timer->stop();
    QDialog::done(result);
}

void MessageWindow::fitText() {
    // Measured in the font the window's style gives the message; the text
    // box's own layout is not asked, as it follows the box's present width.
    ensurePolished();
    QTextDocument* doc = m_txtMsg->document();
    doc->setDefaultFont(m_txtMsg->font());
    const QFontMetricsF metrics(m_txtMsg->font());
    qreal longest = 0;
    for (const QString& line : m_txtMsg->toPlainText().split(QLatin1Char('\n')))
        longest = std::max(longest, metrics.horizontalAdvance(line));
    // The margins on top, so the longest line is never wrapped by them.
    const qreal natural = longest + 2 * doc->documentMargin() + 2;
    const qreal width =
        std::clamp(natural, qreal(scaled(kMinTextWidth, m_scale)), qreal(scaled(kMaxTextWidth, m_scale)));
    const qreal margins = 2 * doc->documentMargin();
    const QRectF wrapped = metrics.boundingRect(QRectF(0, 0, width - margins, 1e6),
                                                Qt::TextWordWrap | Qt::AlignHCenter, m_txtMsg->toPlainText());
    const int frame = 2 * m_txtMsg->frameWidth();
    m_txtMsg->setFixedSize(qCeil(width) + frame, qCeil(wrapped.height() + margins) + frame);
    adjustSize();
}

void MessageWindow::unload() {
    if (isVisible())
        done(QDialog::Accepted);
}

} // namespace tolva
