#include "print-cli/PrintCommand.h"

#include "app/AppContext.h"
#include "receipt/ReceiptLayouts.h"

namespace tolva {

QString PrintCommand::usage() {
    return QStringLiteral("用法: tolva-print check 帳單號碼 [--printer 印表機] [--preview] | "
                          "order 桌號 點菜時間 [--preview] | kb 桌號 點菜時間 出菜站 [--preview]");
}

std::optional<PrintCommand> PrintCommand::parse(const QStringList& args, QString& error) {
    PrintCommand cmd;
    QStringList plain;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& a = args[i];
        if (a == QLatin1String("--preview")) {
            cmd.preview = true;
        } else if (a == QLatin1String("--printer")) {
            if (i + 1 >= args.size() || args[i + 1].isEmpty()) {
                error = QStringLiteral("--printer 後面要接印表機名稱");
                return std::nullopt;
            }
            cmd.printer = args[++i];
        } else if (a.startsWith(QLatin1String("--"))) {
            error = QStringLiteral("不認得的選項: ") + a;
            return std::nullopt;
        } else {
            plain << a;
        }
    }
    const QString verb = plain.isEmpty() ? QString() : plain.takeFirst();
    qsizetype expected = 0;
    if (verb == QLatin1String("check")) {
        cmd.kind = Check;
        expected = 1;
    } else if (verb == QLatin1String("order")) {
        cmd.kind = Order;
        expected = 2;
    } else if (verb == QLatin1String("kb")) {
        cmd.kind = KB;
        expected = 3;
    } else {
        error = usage();
        return std::nullopt;
    }
    if (plain.size() != expected || (!cmd.printer.isEmpty() && cmd.kind != Check)) {
        error = usage();
        return std::nullopt;
    }
    for (const QString& v : plain) {
        if (v.trimmed().isEmpty()) {
            error = usage();
            return std::nullopt;
        }
    }
    cmd.values = plain;
    return cmd;
}

bool PrintCommand::run(AppContext& ctx, ReceiptLayouts& receipts) const {
    switch (kind) {
    case Check: {
        QString name = printer;
        if (name.isEmpty())
            name = ctx.settings.Get(QStringLiteral("ZEL"), QStringLiteral("KP"), QStringLiteral("CPrinter"));
        if (name.isEmpty()) {
            ctx.dialogs.messageBox(QStringLiteral("未設定結帳單印表機, 無法列印"), Dialogs::Icon::Information,
                                   QString());
            return false;
        }
        return receipts.PrintCheck(name, values[0], preview);
    }
    case Order:
        return receipts.PrintOrder(values[0], values[1], preview);
    case KB:
        return receipts.PrintKB(values[0], values[1], values[2], preview);
    }
    return false;
}

} // namespace tolva
