#include "ui/MainWindowView.h"

#include "desk/Controls.h"
#include "dialogs/WindowUtilities.h"
#include "ui/MainWindow.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QCoreApplication>
#include <QLabel>
#include <QLineEdit>
#include <QStyle>
#include <QTabWidget>

namespace tolva {

namespace {

void writeText(QWidget* w, const QString& value) {
    // Emptying an empty field changes nothing the operator sees, yet would
    // repaint it.
    if (auto* e = qobject_cast<QLineEdit*>(w)) {
        if (!value.isEmpty() || !e->text().isEmpty())
            e->setText(value);
    } else if (auto* l = qobject_cast<QLabel*>(w))
        l->setText(value);
    else if (auto* b = qobject_cast<QAbstractButton*>(w))
        b->setText(value);
}

void writeChecked(QWidget* w, bool checked) {
    if (auto* box = qobject_cast<QAbstractButton*>(w))
        box->setChecked(checked);
}

} // namespace

MainWindowView::MainWindowView(MainWindow& window) : m_window(window) {
    m_pageBuilt = QObject::connect(&m_window, &MainWindow::pageBuilt, &m_window, [this] { applyPending(); });
}

MainWindowView::~MainWindowView() {
    QObject::disconnect(m_pageBuilt);
}

MainWindowView::Pending* MainWindowView::pendingFor(const QString& controlName) {
    if (m_window.builtControl(controlName) || !m_window.hasUnbuiltPages())
        return nullptr;
    return &m_pending[controlName];
}

const MainWindowView::Pending* MainWindowView::heldFor(const QString& controlName) const {
    const auto it = m_pending.constFind(controlName);
    return it == m_pending.cend() ? nullptr : &*it;
}

void MainWindowView::applyPending() {
    for (auto it = m_pending.begin(); it != m_pending.end();) {
        QWidget* w = m_window.builtControl(it.key());
        if (!w) {
            ++it;
            continue;
        }
        const Pending& p = it.value();
        if (p.text)
            writeText(w, *p.text);
        if (p.toolTip)
            w->setToolTip(*p.toolTip);
        if (p.checked)
            writeChecked(w, *p.checked);
        if (p.visible)
            w->setVisible(*p.visible);
        it = m_pending.erase(it);
    }
}

QString MainWindowView::text(const QString& controlName) const {
    if (const Pending* p = heldFor(controlName); p && p->text)
        return *p->text;
    QWidget* w = m_window.control(controlName);
    if (auto* e = qobject_cast<QLineEdit*>(w))
        return e->text();
    if (auto* l = qobject_cast<QLabel*>(w))
        return l->text();
    if (auto* b = qobject_cast<QAbstractButton*>(w))
        return b->text();
    return QString();
}

void MainWindowView::setText(const QString& controlName, const QString& value) {
    if (Pending* p = pendingFor(controlName))
        p->text = value;
    else
        writeText(m_window.control(controlName), value);
}

void MainWindowView::setToolTip(const QString& controlName, const QString& value) {
    if (Pending* p = pendingFor(controlName))
        p->toolTip = value;
    else if (QWidget* w = m_window.control(controlName))
        w->setToolTip(value);
}

bool MainWindowView::isVisible(const QString& controlName) const {
    if (const Pending* p = heldFor(controlName); p && p->visible)
        return *p->visible;
    QWidget* w = m_window.control(controlName);
    return w && !w->isHidden();
}

void MainWindowView::setVisible(const QString& controlName, bool visible) {
    if (Pending* p = pendingFor(controlName))
        p->visible = visible;
    else if (QWidget* w = m_window.control(controlName))
        w->setVisible(visible);
}

void MainWindowView::selectAllAndFocus(const QString& controlName) {
    if (auto* e = qobject_cast<QLineEdit*>(m_window.control(controlName))) {
        e->setFocus();
        e->selectAll();
    }
}

bool MainWindowView::isTabShown(int index) const {
    return m_window.tabs()->isTabVisible(index);
}

void MainWindowView::showTab(int index, bool shown) {
    m_window.tabs()->setTabVisible(index, shown);
}

void MainWindowView::selectTab(int index) {
    m_window.tabs()->setCurrentIndex(index);
}

int MainWindowView::selectedTab() const {
    return m_window.tabs()->currentIndex();
}

bool MainWindowView::isChecked(const QString& controlName) const {
    if (const Pending* p = heldFor(controlName); p && p->checked)
        return *p->checked;
    auto* box = qobject_cast<QAbstractButton*>(m_window.control(controlName));
    return box && box->isChecked();
}

bool MainWindowView::masterDB() const {
    return isChecked(ctl::chkMasterDB);
}

void MainWindowView::setMasterDB(bool checked) {
    setChecked(ctl::chkMasterDB, checked);
}

void MainWindowView::setChecked(const QString& control, bool checked) {
    if (Pending* p = pendingFor(control))
        p->checked = checked;
    else
        writeChecked(m_window.control(control), checked);
}

void MainWindowView::setMessageHighlight(bool highlighted) {
    QLabel* line = m_window.messageLine();
    line->setProperty("highlighted", highlighted);
    line->style()->unpolish(line);
    line->style()->polish(line);
    line->repaint();
}

void MainWindowView::clearInputs() {
    ClearInputs(&m_window);
    // A field not made yet is empty once made, unless the desk fills it again.
    for (auto it = m_pending.begin(); it != m_pending.end(); ++it)
        if (IsInputName(it.key()))
            it->text.reset();
}

void MainWindowView::showWindow() {
    m_window.showOnTill();
    QCoreApplication::processEvents();
}

void MainWindowView::centerWindow() {
    CenterForm(&m_window);
}

void MainWindowView::endProgram() {
    m_window.endProgram();
}

} // namespace tolva
