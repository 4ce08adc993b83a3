#include "desk/StatusLine.h"

#include "app/AppContext.h"
#include "common/Guard.h"
#include "desk/Controls.h"
#include "desk/DeskView.h"

#include <QThread>

namespace tolva {

StatusLine::StatusLine(AppContext& ctx, DeskView& view)
    : m_ctx(ctx), m_view(view), m_pause([](int ms) { QThread::msleep(static_cast<unsigned long>(ms)); }) {}

void StatusLine::showAbout(const QStringList& fields, const QString& text, int beeps) {
    QList<QPair<QString, QString>> values;
    for (const QString& field : fields)
        values.append({field, m_view.text(field)});
    showAboutValues(values, text, beeps);
}

void StatusLine::showAboutValues(const QList<QPair<QString, QString>>& values, const QString& text,
                                 int beeps) {
    show(text, beeps);
    m_about = values;
}

void StatusLine::dropStale() {
    if (m_about.isEmpty())
        return;
    // Another text has taken the line meanwhile (the link writes it too).
    if (m_view.text(ctl::elaMsg) != m_shown) {
        m_about.clear();
        return;
    }
    for (const auto& [field, value] : m_about) {
        if (m_view.text(field) != value) {
            m_about.clear();
            m_view.setText(ctl::elaMsg, QString());
            return;
        }
    }
}

void StatusLine::show(const QString& text, int beeps) {
    m_shown = text;
    m_about.clear();
    guardVoid(m_ctx.reporter, Report::Msg, QStringLiteral("DispElaMsg"), [&] {
        m_view.setText(ctl::elaMsg, text);
        m_view.setMessageHighlight(true);
        for (int i = 0; i < beeps; ++i)
            m_ctx.dialogs.beep();
        m_pause(200);
        m_view.setMessageHighlight(false);
    });
}

} // namespace tolva
