#include "printui/PrintJob.h"

#include "common/Fault.h"

#include <QProcess>

namespace tolva {

void submitPdfJob(const QString& printer, const QString& pdfPath, const QString& title, int copies) {
    QProcess lp;
    lp.setProgram(QStringLiteral("lp"));
    lp.setArguments({QStringLiteral("-d"), printer, QStringLiteral("-t"), title, QStringLiteral("-n"),
                     QString::number(std::max(1, copies)), QStringLiteral("--"), pdfPath});
    lp.start();
    if (!lp.waitForStarted(10000))
        throw Fault(Fault::kGeneric, QStringLiteral("無法啟動列印程式 lp，請確認已安裝列印系統"));
    if (!lp.waitForFinished(60000)) {
        lp.kill();
        lp.waitForFinished(5000);
        throw Fault(Fault::kGeneric,
                    QStringLiteral("印表機 ") + printer + QStringLiteral(" 沒有回應，列印已取消"));
    }
    if (lp.exitStatus() != QProcess::NormalExit || lp.exitCode() != 0) {
        const QString detail = QString::fromLocal8Bit(lp.readAllStandardError()).trimmed();
        throw Fault(Fault::kGeneric,
                    QStringLiteral("印表機 ") + printer + QStringLiteral(" 無法列印: ") + detail);
    }
}

} // namespace tolva
