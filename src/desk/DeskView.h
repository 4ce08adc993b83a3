#pragma once

#include "link/LinkIndicators.h"

#include <QString>

namespace tolva {

// What the desk logic may do to its window. Controls are addressed by their
// names ("txtAmt(0)", "elaMsg", "lblHead(2)"); labels take their caption
// through setText. The widget window implements it; tests use a fake.
class DeskView : public LinkIndicators {
public:
    ~DeskView() override = default;

    // The link writes the message line and the mode label.
    void setMessageLine(const QString& text) override { setText(QStringLiteral("elaMsg"), text); }
    void setModeCaption(const QString& text) override { setText(QStringLiteral("lblMode"), text); }

    virtual QString text(const QString& control) const = 0;
    virtual void setText(const QString& control, const QString& text) = 0;
    virtual void setToolTip(const QString& control, const QString& text) = 0;
    virtual bool isVisible(const QString& control) const = 0;
    virtual void setVisible(const QString& control, bool visible) = 0;
    // Select the whole text of an entry field and keep the focus in it.
    virtual void selectAllAndFocus(const QString& control) = 0;

    // The tab strip "tabPage": pages by index, each shown or hidden.
    virtual bool isTabShown(int index) const = 0;
    virtual void showTab(int index, bool shown) = 0;
    virtual void selectTab(int index) = 0;
    virtual int selectedTab() const = 0;

    // Whether a check box (e.g. "Check1", "只列印總計") is ticked.
    virtual bool isChecked(const QString& control) const = 0;
    virtual void setChecked(const QString& control, bool checked) = 0;

    // The master-database switch "chkMasterDB".
    virtual bool masterDB() const = 0;
    virtual void setMasterDB(bool checked) = 0;

    // The status line "elaMsg" drawn highlighted (true) or normal (false),
    // repainted at once.
    virtual void setMessageHighlight(bool highlighted) = 0;

    // Every text and combo field of the window emptied.
    virtual void clearInputs() = 0;
    // Shows the window, lets pending window messages run once, centres it.
    virtual void showWindow() = 0;
    virtual void centerWindow() = 0;
    // Ends the program at once.
    virtual void endProgram() = 0;
};

} // namespace tolva
