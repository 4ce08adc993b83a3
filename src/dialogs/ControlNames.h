#pragma once

#include "common/Fault.h"
#include "common/Guard.h"
#include "common/Reporter.h"

#include <QFont>
#include <QString>
#include <QWidget>
#include <utility>

namespace tolva {

// A control carries its own name as object name and as accessible
// description, so tests and accessibility tools find it by that name.
inline void nameControl(QObject* control, const QString& name) {
    control->setObjectName(name);
    if (auto* widget = qobject_cast<QWidget*>(control))
        widget->setAccessibleDescription(name);
}

// The name of a control-array member: "cmdNum(10)".
inline QString arrayName(const QString& base, int index) {
    return base + QLatin1Char('(') + QString::number(index) + QLatin1Char(')');
}

// A font of the dialogs' fixed faces at a point size.
inline QFont makeFont(const QString& family, int pointSize, bool bold) {
    QFont font(family);
    font.setPointSize(pointSize);
    font.setBold(bold);
    return font;
}

// The window procedures' handler: with a reporter attached a fault is reported
// through ErrorMsg under the procedure's name; without one (a window used on
// its own) it is dropped. Either way it goes no further.
template <typename Body> void guardedVoid(Reporter* reporter, const QString& procedure, Body&& body) {
    if (reporter) {
        guardVoid(*reporter, Report::Msg, procedure, std::forward<Body>(body));
        return;
    }
    try {
        std::forward<Body>(body)();
    } catch (const Fault&) {
    }
}

} // namespace tolva
