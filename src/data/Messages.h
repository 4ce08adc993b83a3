#pragma once

#include <QString>
#include <optional>

namespace tolva {

class DataContext;

// The message lookup statement, prepared once per connection.
inline constexpr const char* kMessageQuery = "Select * From Msg Where MsgID = ?";

// Prepares the message lookup on gCNT so that the first message of a run
// costs no more than the others. Called at start right after the connection
// is opened; a failure goes to the error file and the lookups then report
// their own failures.
void prepareMessages(DataContext& ctx);

// The text of message msgID with "%%1", "%%2", "%%3" replaced by p1, p2, p3.
// p2 is only considered when p1 is given, p3 only when p2 is. An id without a
// row gives the id itself; a failure gives the empty text and goes to the
// error file.
QString LocalMsg(DataContext& ctx, const QString& msgID, const std::optional<QString>& p1 = {},
                 const std::optional<QString>& p2 = {}, const std::optional<QString>& p3 = {});

// The same as LocalMsg, reporting failures under its own name.
QString IDMSG(DataContext& ctx, const QString& msgID, const std::optional<QString>& p1 = {},
              const std::optional<QString>& p2 = {}, const std::optional<QString>& p3 = {});

} // namespace tolva
