#pragma once

#include "desk/DeskView.h"

namespace tolva {

class MainWindow;

// The desk's view over the real main window: controls found by their names,
// the tab strip, the master switch and the status line.
class MainWindowView : public DeskView {
public:
    explicit MainWindowView(MainWindow& window) : m_window(window) {}

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
    void setMessageHighlight(bool highlighted) override;
    void clearInputs() override;
    void showWindow() override;
    void centerWindow() override;
    void endProgram() override;

private:
    MainWindow& m_window;
};

} // namespace tolva
