#include "printui/PrintJob.h"

#include "common/Fault.h"

#include <QProcess>
#include <QProcessEnvironment>

namespace tolva {

namespace {
const QString kTellStaff = QStringLiteral("，請通知管理人員");
} // namespace

QString missingPrinterText(const QString& printer) {
    return QStringLiteral("找不到印表機 ") + printer + kTellStaff;
}

QString lpRefusalText(const QString& printer, const QString& lpAnswer) {
    if (lpAnswer.contains(QLatin1String("not accepting jobs"), Qt::CaseInsensitive))
        return QStringLiteral("印表機 ") + printer + QStringLiteral(" 暫停接受列印") + kTellStaff;
    // lp says the same when the queue was removed and when it cannot reach a
    // print server at all.
    if (lpAnswer.contains(QLatin1String("does not exist"), Qt::CaseInsensitive) ||
        lpAnswer.contains(QLatin1String("not found"), Qt::CaseInsensitive))
        return missingPrinterText(printer);
    if (lpAnswer.contains(QLatin1String("connect"), Qt::CaseInsensitive) ||
        lpAnswer.contains(QLatin1String("scheduler"), Qt::CaseInsensitive))
        return QStringLiteral("列印系統沒有回應，無法列印到印表機 ") + printer + kTellStaff;
    return QStringLiteral("印表機 ") + printer + QStringLiteral(" 無法列印") + kTellStaff;
}

void submitPdfJob(const QString& printer, const QString& pdfPath, const QString& title, int copies) {
    QProcess lp;
    lp.setProgram(QStringLiteral("lp"));
    lp.setArguments({QStringLiteral("-d"), printer, QStringLiteral("-t"), title, QStringLiteral("-n"),
                     QString::number(std::max(1, copies)), QStringLiteral("--"), pdfPath});
    // lp answers in English whatever the desk's locale, so its answer can be
    // read here; the operator reads the sentence chosen from it.
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("LC_ALL"), QStringLiteral("C"));
    lp.setProcessEnvironment(env);
    lp.start();
    if (!lp.waitForStarted(10000))
        throw Fault(Fault::kGeneric, QStringLiteral("lp: ") + lp.errorString(),
                    QStringLiteral("無法啟動列印程式，請通知管理人員"));
    if (!lp.waitForFinished(60000)) {
        lp.kill();
        lp.waitForFinished(5000);
        throw Fault(
            Fault::kGeneric, QStringLiteral("lp -d ") + printer + QStringLiteral(": no answer in 60 s"),
            QStringLiteral("印表機 ") + printer + QStringLiteral(" 沒有回應，列印已取消") + kTellStaff);
    }
    if (lp.exitStatus() != QProcess::NormalExit || lp.exitCode() != 0) {
        const QString answer = QString::fromLocal8Bit(lp.readAllStandardError()).trimmed();
        throw Fault(Fault::kGeneric,
                    QStringLiteral("印表機 ") + printer + QStringLiteral(" 無法列印: ") + answer,
                    lpRefusalText(printer, answer));
    }
}

} // namespace tolva
