#include "dialogs/CodePicker.h"

#include "dialogs/ControlNames.h"
#include "dialogs/WindowUtilities.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include <algorithm>

namespace tolva {

namespace {

const QString kCodeHeader = QStringLiteral("代碼");
const QString kDescriptionHeader = QStringLiteral("說明");
// The list's size beside a 1024 x 768 window; it grows with the window.
constexpr QSize kBaseSize(520, 560);

QString pickerStyle(double scale) {
    const auto px = [scale](int size) { return QString::number(qRound(size * scale)); };
    return QStringLiteral("QTableWidget#fgCode { font-size: %1px; }"
                          "QHeaderView::section { font-size: %2px; padding: 6px; }"
                          "QPushButton#cmdExit { font-size: %2px; min-height: %3px; min-width: %4px; }")
        .arg(px(24), px(20), px(56), px(120));
}

} // namespace

CodePicker::CodePicker(Reporter* reporter, QWidget* parent) : QDialog(parent), m_reporter(reporter) {
    guardedVoid(m_reporter, QStringLiteral("載入代碼輸入輔助視窗"), [&] {
        nameControl(this, QStringLiteral("frmCode"));
        setWindowTitle(QStringLiteral("代碼輸入輔助視窗"));
        setModal(true);

        m_fgCode = new QTableWidget(0, 2, this);
        nameControl(m_fgCode, QStringLiteral("fgCode"));
        m_fgCode->setAccessibleName(windowTitle());
        m_fgCode->setHorizontalHeaderLabels({kCodeHeader, kDescriptionHeader});
        m_fgCode->verticalHeader()->hide();
        m_fgCode->verticalHeader()->setDefaultSectionSize(52);
        m_fgCode->horizontalHeader()->setStretchLastSection(true);
        m_fgCode->horizontalHeader()->setSectionsClickable(false);
        m_fgCode->setEditTriggers(QAbstractItemView::NoEditTriggers);
        m_fgCode->setSelectionBehavior(QAbstractItemView::SelectRows);
        m_fgCode->setSelectionMode(QAbstractItemView::SingleSelection);
        m_fgCode->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        connect(m_fgCode, &QTableWidget::cellClicked, this,
                [this](int row, int) { pickRow(row, QStringLiteral("fgCode_Click")); });

        // Escape leaves the list; on a till without a keyboard this does.
        auto* leave = new QPushButton(QStringLiteral("離開"), this);
        nameControl(leave, QStringLiteral("cmdExit"));
        leave->setAutoDefault(false);
        leave->setFocusPolicy(Qt::NoFocus);
        connect(leave, &QPushButton::clicked, this, &QWidget::hide);

        auto* body = new QVBoxLayout(this);
        body->addWidget(m_fgCode);
        body->addWidget(leave, 0, Qt::AlignRight);

        // The window sees the keys before its controls.
        installEventFilter(this);
        m_fgCode->installEventFilter(this);
        m_fgCode->viewport()->installEventFilter(this);
    });
}

CodePicker::~CodePicker() = default;

bool CodePicker::loadRows(const QList<QStringList>& rows) {
    m_fgCode->setUpdatesEnabled(false);
    m_fgCode->setRowCount(0);
    int columns = 2;
    for (const QStringList& row : rows)
        columns = std::max(columns, static_cast<int>(row.size()));
    m_fgCode->setColumnCount(columns);
    // Further columns are loaded with the row but only the first two show.
    for (int c = 2; c < columns; ++c)
        m_fgCode->setColumnHidden(c, true);
    for (const QStringList& row : rows) {
        const int r = m_fgCode->rowCount();
        m_fgCode->insertRow(r);
        for (int c = 0; c < row.size(); ++c)
            m_fgCode->setItem(r, c, new QTableWidgetItem(row[c]));
    }
    m_fgCode->setUpdatesEnabled(true);
    return m_fgCode->rowCount() > 0;
}

bool CodePicker::ShowPick(const QList<QStringList>& rows, QString& code, QString* description,
                          const QString& pvLabel1, const QString& pvLabel2) {
    bool result = false;
    // One showing at a time: a call while the list is up gets nothing.
    if (isVisible())
        return result;
    guardedVoid(m_reporter, QStringLiteral("ShowPick"), [&] {
        fvCode.clear();
        m_picked = false;
        if (!loadRows(rows))
            return;
        m_fgCode->setHorizontalHeaderLabels({pvLabel1.isEmpty() ? kCodeHeader : pvLabel1,
                                             pvLabel2.isEmpty() ? kDescriptionHeader : pvLabel2});
        m_fgCode->setCurrentCell(0, 0);
        m_fgCode->setFocus();
        exec();
        if (m_picked) {
            code = fvCode;
            if (description)
                *description = m_description;
        }
        result = true;
    });
    return result;
}

void CodePicker::pickRow(int row, const QString& procedure) {
    guardedVoid(m_reporter, procedure, [&] {
        if (row < 0 || row >= m_fgCode->rowCount())
            return;
        const auto cell = [this, row](int column) {
            const QTableWidgetItem* item = m_fgCode->item(row, column);
            return item ? item->text() : QString();
        };
        fvCode = cell(0);
        m_description = cell(1);
        m_picked = true;
        hide();
    });
}

bool CodePicker::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Escape) {
            hide();
            return true;
        }
        if (watched == m_fgCode && (key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Space)) {
            pickRow(m_fgCode->currentRow(), QStringLiteral("fgCode_KeyDown"));
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void CodePicker::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    const double scale = tillScale(m_owner ? m_owner->size() : QSize());
    setStyleSheet(pickerStyle(scale));
    m_fgCode->verticalHeader()->setDefaultSectionSize(qRound(52 * scale));
    // The code column fits its codes and its header in the size now shown.
    ensurePolished();
    m_fgCode->resizeColumnToContents(0);
    m_fgCode->setColumnWidth(0, std::max(m_fgCode->columnWidth(0), qRound(120 * scale)));
    resize(QSize(qRound(kBaseSize.width() * scale), qRound(kBaseSize.height() * scale)));
    CenterOnWindow(this, m_owner);
}

} // namespace tolva
