#include "desk/StatusLine.h"

#include "app/AppContext.h"
#include "common/Guard.h"
#include "desk/Controls.h"
#include "desk/DeskView.h"

#include <QThread>

namespace tolva {

StatusLine::StatusLine(AppContext& ctx, DeskView& view)
    : m_ctx(ctx), m_view(view), m_pause([](int ms) { QThread::msleep(static_cast<unsigned long>(ms)); }) {}

void StatusLine::show(const QString& text, int beeps) {
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
