#pragma once

#include "desk/DeskView.h"

#include <QHash>
#include <QMetaObject>

#include <optional>

class QWidget;

namespace tolva {

class MainWindow;

// The desk's view over the real main window: controls found by their names,
// the tab strip, the master switch and the status line.
//
// The window makes a tab page's controls when the page is first needed. What
// the desk sets on a control not made yet (text, tool tip, shown or hidden,
// ticked) is kept here and given to the control when its page is made, and
// read back from here until then; a read of anything else makes the page.
class MainWindowView : public DeskView {
public:
    explicit MainWindowView(MainWindow& window);
    ~MainWindowView() override;
    MainWindowView(const MainWindowView&) = delete;
    MainWindowView& operator=(const MainWindowView&) = delete;

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
    bool isChecked(const QString& control) const override;
    bool masterDB() const override;
    void setMasterDB(bool checked) override;
    void setChecked(const QString& control, bool checked) override;
    void setMessageHighlight(bool highlighted) override;
    void clearInputs() override;
    void showWindow() override;
    void centerWindow() override;
    void endProgram() override;

private:
    // What was set on a control whose page is not made yet.
    struct Pending {
        std::optional<QString> text;
        std::optional<QString> toolTip;
        std::optional<bool> visible;
        std::optional<bool> checked;
    };
    // The entry for a control not made yet; nullptr when the control exists
    // (or can never come, every page being made).
    Pending* pendingFor(const QString& control);
    const Pending* heldFor(const QString& control) const;
    void applyPending();

    MainWindow& m_window;
    QHash<QString, Pending> m_pending;
    QMetaObject::Connection m_pageBuilt;
};

} // namespace tolva
