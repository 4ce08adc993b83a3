#pragma once

#include "desk/DeskView.h"

#include <QHash>
#include <QSet>
#include <QStringList>

// A window without widgets: remembers every text, visibility and tab the desk
// sets, so tests read the window's state by control name.
class FakeDeskView : public tolva::DeskView {
public:
    QHash<QString, QString> texts;
    QHash<QString, QString> toolTips;
    // Hidden as the window makes them.
    QSet<QString> hidden{QStringLiteral("cmdUPDCust"), QStringLiteral("lblLinkDown")};
    bool tabShown[5] = {true, true, false, true, true};
    int currentTab = 0;
    bool master = false;
    QList<bool> highlights;
    QStringList focused;
    bool shown = false;
    bool centered = false;
    bool ended = false;

    QString text(const QString& control) const override { return texts.value(control); }
    // Every text the status line showed, in order.
    QStringList statusTexts;

    void setText(const QString& control, const QString& text) override {
        texts[control] = text;
        if (control == QLatin1String("elaMsg"))
            statusTexts << text;
    }
    void setToolTip(const QString& control, const QString& text) override { toolTips[control] = text; }
    bool isVisible(const QString& control) const override { return !hidden.contains(control); }
    void setVisible(const QString& control, bool visible) override {
        if (visible)
            hidden.remove(control);
        else
            hidden.insert(control);
    }
    void selectAllAndFocus(const QString& control) override { focused << control; }
    // The control focused last; empty when none was (a safe read for checks).
    QString lastFocused() const { return focused.value(focused.size() - 1); }
    bool isTabShown(int index) const override { return tabShown[index]; }
    void showTab(int index, bool show) override { tabShown[index] = show; }
    void selectTab(int index) override { currentTab = index; }
    int selectedTab() const override { return currentTab; }
    QSet<QString> checked;
    bool isChecked(const QString& control) const override { return checked.contains(control); }
    void setChecked(const QString& control, bool on) override {
        if (on)
            checked.insert(control);
        else
            checked.remove(control);
    }
    bool masterDB() const override { return master; }
    void setMasterDB(bool checked) override { master = checked; }
    void setMessageHighlight(bool on) override { highlights << on; }
    void clearInputs() override {
        for (auto it = texts.begin(); it != texts.end(); ++it)
            if (it.key().startsWith(QLatin1String("txt")) || it.key().startsWith(QLatin1String("cbo")))
                it.value().clear();
    }
    void showWindow() override { shown = true; }
    void centerWindow() override { centered = true; }
    void endProgram() override { ended = true; }
};
