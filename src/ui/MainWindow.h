#pragma once

#include <QMainWindow>

class QLabel;
class QLineEdit;
class QPushButton;
class QTabWidget;
class QTableWidget;

namespace tolva {

class Desk;

// The desk's main window "fmTOLVA" for a touch-screen till: header strip,
// customer panel, the tab strip with its five pages and the status strip.
// Every widget's objectName and accessible description is its control name;
// MainWindowView lets the desk logic drive it.
//
// A tab page's controls are made when the page is first shown or one of its
// controls is first asked for by name, so the start pays only for what the
// first screen shows; until then the page is an empty widget "tabPage(n)".
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
    QLabel* messageLine() const { return m_message; }

    // The widget of a control name, its page made first when it is not yet;
    // nullptr when there is none.
    QWidget* control(const QString& name) const;
    // The widget of a control name among what has been made; nullptr when
    // there is none or its page is not made yet.
    QWidget* builtControl(const QString& name) const;
    // Whether some tab page has not been made yet.
    bool hasUnbuiltPages() const;

signals:
    // A double-click on an entry field (the date fields open the calendar,
    // the store-code fields the code picker); the control's name.
    void fieldDoubleClicked(const QString& control);
    // A tab page's controls have just been made.
    void pageBuilt(int index);

protected:
    bool event(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* buildHeader(QWidget* parent);
    QWidget* buildCustomerPanel(QWidget* parent);
    QWidget* buildTabs(QWidget* parent);
    QWidget* buildStatusStrip(QWidget* parent);
    // Makes the controls of tab page index once; false when already made.
    bool buildPage(int index);
    void buildTransactionPage(QWidget* page, int index);
    void buildSettingsPage(QWidget* page);
    void buildQueryPage(QWidget* page);
    void buildReportPage(QWidget* page);
    // Connects the desk's handlers to the buttons and boxes within scope.
    void connectDesk(QWidget* scope);
    QTableWidget* grid() const;
    QLineEdit* field(QWidget* parent, const QString& name, const QString& caption);
    // The entry behaviour of every field; true when the event is consumed.
    bool fieldEvent(QLineEdit* edit, QEvent* event);
    void validateOnLeave(QLineEdit* edit);
    void setBaseHeight(QWidget* widget, int height);
    QPushButton* button(QWidget* parent, const QString& name, const QString& caption);
    QLabel* label(QWidget* parent, const QString& name, const QString& caption);
    void name(QWidget* widget, const QString& controlName);

    Desk* m_desk = nullptr;
    QTabWidget* m_tabs = nullptr;
    QList<bool> m_pageBuilt;
    QLabel* m_message = nullptr;
    QTableWidget* m_grid = nullptr;
    bool m_ending = false;
    double m_scale = 1.0;
};

} // namespace tolva
