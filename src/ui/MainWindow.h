#pragma once

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
// MainWindowView lets the desk logic drive it.
class MainWindow : public QMainWindow {
    Q_OBJECT

public:
    MainWindow();
    // Connects the buttons and events to the desk's operations.
    void setDesk(Desk* desk);

    // Shows the window as a till wants it: filling a screen larger than
    // 1024 x 768, at its own size on a smaller one.
    void showOnTill();
    // Ends the program at once; the close that follows is not a second exit.
    void endProgram();
    QTabWidget* tabs() const { return m_tabs; }
    QCheckBox* masterSwitch() const { return m_master; }
    QLabel* messageLine() const { return m_message; }

    // The widget of a control name; nullptr when there is none.
    QWidget* control(const QString& name) const;

signals:
    // A double-click on an entry field (the date fields open the calendar,
    // the store-code fields the code picker); the control's name.
    void fieldDoubleClicked(const QString& control);

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
    QTableWidget* grid() const;
    QLineEdit* field(const QString& name, const QString& caption);
    // The entry behaviour of every field; true when the event is consumed.
    bool fieldEvent(QLineEdit* edit, QEvent* event);
    void validateOnLeave(QLineEdit* edit);
    void setBaseHeight(QWidget* widget, int height);
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
