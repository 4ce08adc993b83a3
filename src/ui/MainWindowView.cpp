#include "ui/MainWindowView.h"

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

QString MainWindowView::text(const QString& controlName) const {
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
    QWidget* w = m_window.control(controlName);
    if (auto* e = qobject_cast<QLineEdit*>(w))
        e->setText(value);
    else if (auto* l = qobject_cast<QLabel*>(w))
        l->setText(value);
    else if (auto* b = qobject_cast<QAbstractButton*>(w))
        b->setText(value);
}

void MainWindowView::setToolTip(const QString& controlName, const QString& value) {
    if (QWidget* w = m_window.control(controlName))
        w->setToolTip(value);
}

bool MainWindowView::isVisible(const QString& controlName) const {
    QWidget* w = m_window.control(controlName);
    return w && !w->isHidden();
}

void MainWindowView::setVisible(const QString& controlName, bool visible) {
    if (QWidget* w = m_window.control(controlName))
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
    auto* box = qobject_cast<QAbstractButton*>(m_window.control(controlName));
    return box && box->isChecked();
}

bool MainWindowView::masterDB() const {
    return m_window.masterSwitch()->isChecked();
}

void MainWindowView::setMasterDB(bool checked) {
    m_window.masterSwitch()->setChecked(checked);
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
