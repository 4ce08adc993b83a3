#include "dialogs/MessageWindow.h"

#include "dialogs/ControlNames.h"
#include "dialogs/TickSource.h"

#include <QEvent>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QTextEdit>
#include <QTextOption>
#include <QVBoxLayout>

namespace tolva {

namespace {
// The window's fixed picture: a notice sign, a white "i" on a blue disc.
QPixmap logo() {
    QPixmap pm(96, 96);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(0x1f, 0x3f, 0x7f), 3));
    p.setBrush(QColor(0x2f, 0x6f, 0xcf));
    p.drawEllipse(QRectF(3, 3, 90, 90));
    p.setPen(Qt::white);
    p.setFont(makeFont(QStringLiteral("Times New Roman"), 48, true));
    p.drawText(QRect(0, 0, 96, 96), Qt::AlignCenter, QStringLiteral("i"));
    return pm;
}
} // namespace

MessageWindow::MessageWindow(Setup setup, QWidget* parent) : QDialog(parent), m_setup(std::move(setup)) {
    nameControl(this, QStringLiteral("frmMsg"));
    setWindowTitle(m_setup.title);
    setModal(true);
    // Room for a few lines of large text, small enough for an 800 x 600 till.
    setFixedSize(720, 360);

    m_frame1 = new QFrame(this);
    nameControl(m_frame1, QStringLiteral("Frame1"));
    m_frame1->setFrameShape(QFrame::StyledPanel);
    m_frame1->setFrameShadow(QFrame::Raised);
    m_frame1->setLineWidth(2);

    m_imgLogo = new QLabel(m_frame1);
    nameControl(m_imgLogo, QStringLiteral("imgLogo"));
    m_imgLogo->setPixmap(logo());
    m_imgLogo->setFixedSize(104, 104);
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
    inFrame->addWidget(m_imgLogo, 0, Qt::AlignTop);
    inFrame->addLayout(text, 1);
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(6, 6, 6, 6);
    outer->addWidget(m_frame1);

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
        exec();
    });
}

void MessageWindow::Timer1_Timer() {
    guardedVoid(m_setup.reporter, QStringLiteral("frmMsg_Timer1_Timer"), [&] {
        if (!isVisible())
            return;
        ++m_count;
        if (m_count < m_seconds) {
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

void MessageWindow::unload() {
    if (isVisible())
        done(QDialog::Accepted);
}

} // namespace tolva
