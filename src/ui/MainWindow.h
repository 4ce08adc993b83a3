#pragma once

#include "desk/DeskView.h"

#include <QMainWindow>

class QLabel;
class QLineEdit;
class QPushButton;
class QTabWidget;
class QCheckBox;
class QTableWidget;

namespace tolva {

class Desk;

// The desk's main window "fmTOLVA" for a touch-screen till: header strip,
// customer panel, the tab strip with its five pages and the status strip.
// Every widget's objectName and accessible description is its control name;
// the window implements DeskView so the desk logic can drive it.
class MainWindow : public QMainWindow, public DeskView {
    Q_OBJECT

public:
    MainWindow();
    // Connects the buttons and events to the desk's operations.
    void setDesk(Desk* desk);

    QString text(const QString& control) const override;
    void setText(const QString& control, const QString& text) override;
    void setToolTip(const QString& control, const QString& text) override;
    bool isVisible(const QString& control) const override;
    void setVisible(const QString& control, bool visible) override;
    void selectAllAndFocus(const QString& control) override;
    bool isTabShown(int index) const override;
    void showTab(int index, bool shown) override;
    void selectTab(int index) override;
    int selectedTab() const override;
    bool masterDB() const override;
    void setMasterDB(bool checked) override;
    void setMessageHighlight(bool highlighted) override;
    void clearInputs() override;
    void showWindow() override;
    void centerWindow() override;
    void endProgram() override;

    // The widget of a control name; nullptr when there is none.
    QWidget* control(const QString& name) const;

protected:
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* buildHeader();
    QWidget* buildCustomerPanel();
    QWidget* buildTabs();
    QWidget* buildTransactionPage(int index);
    QWidget* buildSettingsPage();
    QWidget* buildQueryPage();
    QWidget* buildReportPage();
    QWidget* buildStatusStrip();
    QLineEdit* field(const QString& name);
    void validateOnLeave(QLineEdit* edit);
    QPushButton* button(const QString& name, const QString& caption);
    QLabel* label(const QString& name, const QString& caption);
    void name(QWidget* widget, const QString& controlName);

    Desk* m_desk = nullptr;
    QTabWidget* m_tabs = nullptr;
    QCheckBox* m_master = nullptr;
    QLabel* m_message = nullptr;
    QTableWidget* m_grid = nullptr;
    bool m_ending = false;
    double m_scale = 1.0;
};

} // namespace tolva
