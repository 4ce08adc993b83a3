#pragma once

#include <QString>

namespace tolva {

class AppContext;
class DeskView;

// The store codes ("來源別") of the desk: xxCODE rows of the desk's own code
// type in the local database, offered by the code picker wherever the desk
// asks for a source store, and created on the settings page.
class StoreCodes {
public:
    StoreCodes(AppContext& ctx, DeskView& view) : m_ctx(ctx), m_view(view) {}

    // Lists the codes in the picker and writes the one picked into the
    // field; with no codes the picker does not open and the field stays as
    // it was. A failing query throws.
    void pickInto(const QString& field);

    // True when the code is on file (looked up trimmed, as it is stored).
    bool exists(const QString& code);

private:
    AppContext& m_ctx;
    DeskView& m_view;
};

} // namespace tolva
