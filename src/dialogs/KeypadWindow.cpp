#include "dialogs/KeypadWindow.h"

#include "dialogs/ControlNames.h"
#include "dialogs/WindowUtilities.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QVBoxLayout>

namespace tolva {

namespace {

// 1000 twips at 15 twips a pixel, a comfortable touch target.
constexpr int kKey = 68;
constexpr int kSpacing = 2;
constexpr int kKeyPointSize = 20;

QFont displayFont(int pointSize) {
    return makeFont(QStringLiteral("Times New Roman"), pointSize, true);
}

// The backspace key's picture: a tag pointing left with a cross in it.
QIcon backspaceIcon() {
    QPixmap pm(48, 34);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    QPen pen(Qt::black, 3);
    pen.setJoinStyle(Qt::RoundJoin);
    p.setPen(pen);
    QPainterPath tag;
    tag.moveTo(2, 17);
    tag.lineTo(15, 3);
    tag.lineTo(45, 3);
    tag.lineTo(45, 31);
    tag.lineTo(15, 31);
    tag.closeSubpath();
    p.drawPath(tag);
    p.drawLine(22, 10, 36, 24);
    p.drawLine(36, 10, 22, 24);
    return QIcon(pm);
}

} // namespace

KeypadWindow::KeypadWindow(const QString& name, const QString& loadTitle, int displayPointSize,
                           Reporter* reporter, QWidget* parent)
    : QDialog(parent), m_reporter(reporter) {
    nameControl(this, name);
    setModal(true);

    m_elaMsg = new QLabel(this);
    nameControl(m_elaMsg, QStringLiteral("elaMsg"));
    QFont ming(QStringLiteral("AR PL UMing TW")); // the Ming face the prompt line is set in
    ming.setPointSize(16);
    m_elaMsg->setFont(ming);
    m_elaMsg->setMinimumHeight(32);
    m_elaMsg->setFrameShape(QFrame::Panel);
    m_elaMsg->setFrameShadow(QFrame::Sunken);

    m_txtDisp = new QLineEdit(this);
    nameControl(m_txtDisp, QStringLiteral("txtDisp"));
    m_txtDisp->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    m_txtDisp->setFont(displayFont(displayPointSize));
    // The mask character is "*", whatever the style would draw.
    m_txtDisp->setStyleSheet(QStringLiteral("QLineEdit { lineedit-password-character: 42; }"));
    // The keys decide the window's width, not the length of a text.
    m_txtDisp->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
    m_elaMsg->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);

    m_elaSBar = new QLabel(this);
    nameControl(m_elaSBar, QStringLiteral("elaSBar"));
    m_elaSBar->setFrameShape(QFrame::Panel);
    m_elaSBar->setFrameShadow(QFrame::Sunken);
    m_elaSBar->setMinimumHeight(20);

    m_numBlock = buildNumericBlock();

    m_keys = new QHBoxLayout;
    m_keys->setSpacing(8);
    m_keys->addWidget(m_numBlock, 0, Qt::AlignTop | Qt::AlignRight);

    auto* body = new QVBoxLayout(this);
    body->setContentsMargins(6, 6, 6, 0);
    body->addWidget(m_elaMsg);
    body->addWidget(m_txtDisp);
    body->addLayout(m_keys);
    body->addWidget(m_elaSBar);
    body->setSizeConstraint(QLayout::SetFixedSize);

    // Load step: the prompt line starts out as the window's title text.
    setWindowTitle(loadTitle);
    m_elaMsg->setText(loadTitle);
}

KeypadWindow::~KeypadWindow() = default;

QWidget* KeypadWindow::buildNumericBlock() {
    auto* block = new QWidget(this);
    block->setObjectName(QStringLiteral("numericBlock"));
    auto* grid = new QGridLayout(block);
    grid->setContentsMargins(0, 0, 0, 0);
    grid->setSpacing(kSpacing);
    const QSize key(kKey, kKey);

    // 7 8 9 / 4 5 6 / 1 2 3 by rows; 0, "00" and "清除" in the last row.
    for (int digit = 1; digit <= 9; ++digit) {
        const int row = 2 - (digit - 1) / 3;
        const int col = (digit - 1) % 3;
        auto* b = makeKey(block, arrayName(QStringLiteral("cmdNum"), digit), QString::number(digit),
                          kKeyPointSize, key);
        grid->addWidget(b, row, col);
        connect(b, &QPushButton::clicked, this, [this, digit] { cmdNum_Click(digit); });
    }
    auto* zero =
        makeKey(block, arrayName(QStringLiteral("cmdNum"), 0), QStringLiteral("0"), kKeyPointSize, key);
    grid->addWidget(zero, 3, 0);
    connect(zero, &QPushButton::clicked, this, [this] { cmdNum_Click(0); });
    auto* doubleZero =
        makeKey(block, arrayName(QStringLiteral("cmdNum"), 10), QStringLiteral("00"), kKeyPointSize, key);
    grid->addWidget(doubleZero, 3, 1);
    connect(doubleZero, &QPushButton::clicked, this, [this] { cmdNum_Click(10); });

    auto* del = makeKey(block, QStringLiteral("cmdDel"), QStringLiteral("清除"), kKeyPointSize, key);
    grid->addWidget(del, 3, 2);
    connect(del, &QPushButton::clicked, this, &KeypadWindow::cmdDel_Click);

    auto* back = makeKey(block, QStringLiteral("cmdBack"), QString(), kKeyPointSize, key);
    back->setIcon(backspaceIcon());
    back->setIconSize(QSize(48, 34));
    grid->addWidget(back, 0, 3);
    connect(back, &QPushButton::clicked, this, &KeypadWindow::cmdBack_Click);

    auto* exit = makeKey(block, QStringLiteral("cmdExit"), QStringLiteral("離開"), kKeyPointSize, key);
    grid->addWidget(exit, 1, 3);
    connect(exit, &QPushButton::clicked, this, &KeypadWindow::cmdExit_Click);

    m_cmdEnter = makeKey(block, QStringLiteral("cmdEnter"), QStringLiteral("確定"), kKeyPointSize,
                         QSize(kKey, 2 * kKey + kSpacing));
    grid->addWidget(m_cmdEnter, 2, 3, 2, 1);
    connect(m_cmdEnter, &QPushButton::clicked, this, &KeypadWindow::cmdEnter_Click);
    return block;
}

QPushButton* KeypadWindow::makeKey(QWidget* parent, const QString& name, const QString& caption,
                                   int pointSize, QSize size) {
    auto* b = new QPushButton(caption, parent);
    nameControl(b, name);
    b->setFont(displayFont(pointSize));
    b->setFixedSize(size);
    b->setAutoDefault(false);
    b->setDefault(false);
    return b;
}

void KeypadWindow::previewKeys() {
    installEventFilter(this);
    const auto children = findChildren<QWidget*>();
    for (QWidget* child : children)
        child->installEventFilter(this);
}

void KeypadWindow::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    // The frame is only known once the window is up: place it again so the
    // frame, not just the client area, sits in the corner.
    BottomRightForm(this);
}

QString KeypadWindow::procName(const char* procedure) const {
    return objectName() + QLatin1Char('_') + QLatin1String(procedure);
}

bool KeypadWindow::showKeypad(const QString& procedure, QString& pvInputText, const QString& caption,
                              const QString& prompt, bool masked, const std::optional<QString>& pvDefault,
                              int displayPointSize) {
    bool result = false;
    // One showing at a time: a call while the keypad is up gets nothing.
    if (isVisible())
        return result;
    guardedVoid(m_reporter, objectName() + QLatin1Char('_') + procedure, [&] {
        setWindowTitle(caption);
        m_elaMsg->setText(prompt);
        m_txtDisp->setEchoMode(masked ? QLineEdit::Password : QLineEdit::Normal);
        m_txtDisp->setFont(displayFont(displayPointSize));
        m_txtDisp->setText(pvDefault.value_or(QString()));
        m_accepted = false;
        BottomRightForm(this);
        exec();
        if (m_accepted) {
            pvInputText = m_txtDisp->text();
            result = true;
        }
    });
    return result;
}

void KeypadWindow::appendKey(const QString& keyText) {
    m_txtDisp->setText(m_txtDisp->text() + keyText);
    afterAppend();
}

void KeypadWindow::cmdNum_Click(int index) {
    if (index < 0 || index > 10)
        return;
    appendKey(index == 10 ? QStringLiteral("00") : QString::number(index));
}

void KeypadWindow::cmdDel_Click() {
    m_txtDisp->clear();
    afterEdit();
}

void KeypadWindow::cmdBack_Click() {
    guardedVoid(m_reporter, procName("cmdBack_Click"), [&] {
        const QString text = m_txtDisp->text();
        if (!text.isEmpty())
            m_txtDisp->setText(text.left(text.size() - 1));
    });
    afterEdit();
}

void KeypadWindow::cmdEnter_Click() {
    guardedVoid(m_reporter, procName("cmdEnter_Click"), [&] {
        m_accepted = true;
        if (isVisible())
            done(QDialog::Accepted);
    });
}

void KeypadWindow::cmdExit_Click() {
    guardedVoid(m_reporter, procName("cmdExit_Click"), [&] {
        if (isVisible())
            done(QDialog::Rejected);
    });
}

} // namespace tolva
