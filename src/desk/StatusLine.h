#pragma once

#include <QString>
#include <functional>

namespace tolva {

class AppContext;
class DeskView;

// The status line elaMsg: a message shown highlighted with beeps, then drawn
// normal again after a short flash. Every page of the desk writes its
// information and field checks here.
class StatusLine {
public:
    StatusLine(AppContext& ctx, DeskView& view);

    // How the flash waits; tests hand in a no-op.
    void setPause(std::function<void(int milliseconds)> pause) { m_pause = std::move(pause); }

    // DispElaMsg: puts the text on the status line, highlights it, beeps.
    void show(const QString& text, int beeps = 2);

private:
    AppContext& m_ctx;
    DeskView& m_view;
    std::function<void(int)> m_pause;
};

} // namespace tolva
