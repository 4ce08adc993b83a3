#include "common/Reporter.h"

#include "common/PasswordMask.h"

#include <QFile>
#include <QFileInfo>

namespace tolva {

namespace {
const QString kCrLf = QStringLiteral("\r\n");
} // namespace

bool Reporter::append(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append))
        return false;
    const bool ok = file.write(bytes) == bytes.size();
    file.close();
    return ok;
}

QByteArray Reporter::logLine(const QString& message) const {
    const QString line = m_clock.now().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")) +
                         QStringLiteral(" => ") + maskPasswords(message) + kCrLf;
    return m_cp.encode(line);
}

void Reporter::WriteLog(const QString& message, const QString& path) {
    const QString target = path.isEmpty() ? m_g.gLogFile : path;
    if (!append(target, logLine(message)))
        ErrorLog(QStringLiteral("WriteLog"),
                 Fault(Fault::kGeneric, QStringLiteral("無法寫入記錄檔: ") + target));
}

void Reporter::trim(const QString& path, const QVariant& limit) {
    double kb = 100;
    if (limit.isValid() && !limit.isNull()) {
        bool ok = false;
        kb = limit.toString().trimmed().toDouble(&ok);
        if (!ok)
            return;
    }
    const QFileInfo info(path);
    if (path.isEmpty() || !info.exists() || info.isDir())
        return;
    if (static_cast<double>(info.size()) > kb * 1024.0)
        QFile::remove(path);
}

void Reporter::TrimLogFile(const QVariant& limit) {
    trim(m_g.gLogFile, limit);
}

void Reporter::TrimErrFile(const QVariant& limit) {
    trim(m_g.gErrFile, limit);
}

// A connection string in a message never takes its password into the files
// or onto the screen.
QString Reporter::reportText(const QString& procedure, const Fault& fault) {
    const QString code = (fault.code() < 0 ? QString() : QStringLiteral(" ")) + QString::number(fault.code());
    return QStringLiteral("處理程序: (") + procedure + QStringLiteral(")") + kCrLf +
           QStringLiteral("執行錯誤, 代碼: ") + code + kCrLf + QStringLiteral("訊息: ") + kCrLf +
           QStringLiteral("     ") + maskPasswords(fault.message()) + kCrLf + kCrLf;
}

QByteArray Reporter::errorBlock(const QString& procedure, const Fault& fault) const {
    const QString stamp = QStringLiteral("**記錄時間 - ") +
                          m_clock.now().toString(QStringLiteral("yy/MM/dd, HH:mm:ss")) + QStringLiteral(" ") +
                          kCrLf;
    return m_cp.encode(stamp + reportText(procedure, fault));
}

QString Reporter::shownText(const QString& procedure, const Fault& fault) {
    if (!fault.operatorText().isEmpty())
        return fault.operatorText();
    return reportText(procedure, fault);
}

void Reporter::ErrorMsg(const QString& procedure, const Fault& fault) {
    m_dialogs.beep();
    append(m_g.gErrFile, errorBlock(procedure, fault));
    m_dialogs.messageBox(shownText(procedure, fault), Dialogs::Icon::Warning, m_g.title());
    m_dialogs.normalPointer();
}

int Reporter::ErrorAsk(const QString& procedure, const Fault& fault) {
    m_dialogs.beep();
    append(m_g.gErrFile, errorBlock(procedure, fault));
    const bool yes = m_dialogs.askYesNo(shownText(procedure, fault) + QStringLiteral("  是否要繼續執行作業?"),
                                        Dialogs::Icon::Warning, m_g.title());
    m_dialogs.normalPointer();
    return yes ? kYes : kNo;
}

void Reporter::ErrorLog(const QString& procedure, const Fault& fault) {
    append(m_g.gErrFile, errorBlock(procedure, fault));
}

} // namespace tolva
