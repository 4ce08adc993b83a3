#include "link/TlsText.h"

#include <QStringList>

namespace tolva {

namespace {

QString reason(const QSslError& error, const QString& host) {
    switch (error.error()) {
    case QSslError::CertificateExpired:
        return QStringLiteral("伺服器憑證已過期 (%1)")
            .arg(error.certificate().expiryDate().toLocalTime().toString(QStringLiteral("yyyy/MM/dd")));
    case QSslError::CertificateNotYetValid:
        return QStringLiteral("伺服器憑證尚未生效");
    case QSslError::HostNameMismatch:
        return QStringLiteral("伺服器憑證不是發給 %1 的").arg(host);
    case QSslError::UnableToGetLocalIssuerCertificate:
    case QSslError::UnableToGetIssuerCertificate:
    case QSslError::UnableToVerifyFirstCertificate:
    case QSslError::SelfSignedCertificate:
    case QSslError::SelfSignedCertificateInChain:
    case QSslError::CertificateUntrusted:
    case QSslError::CertificateSignatureFailed:
        return QStringLiteral("伺服器憑證不是設定的 CA 所簽發");
    case QSslError::NoPeerCertificate:
        return QStringLiteral("伺服器沒有出示憑證");
    case QSslError::CertificateRevoked:
        return QStringLiteral("伺服器憑證已被撤銷");
    default:
        return error.errorString();
    }
}

} // namespace

QString TlsText::verificationFailed(const QList<QSslError>& errors, const QString& host) {
    QStringList reasons;
    for (const QSslError& error : errors) {
        const QString text = reason(error, host);
        if (!reasons.contains(text))
            reasons << text;
    }
    return QStringLiteral("憑證驗證失敗: ") + reasons.join(QStringLiteral("; "));
}

QString TlsText::handshakeFailed(QAbstractSocket::SocketError error, const QString& qtText) {
    QString why = qtText;
    if (qtText.contains(QLatin1String("certificate required")))
        why = QStringLiteral("會員資料服務要求本店的用戶端憑證");
    else if (qtText.contains(QLatin1String("unknown ca")) ||
             qtText.contains(QLatin1String("bad certificate")) ||
             qtText.contains(QLatin1String("certificate unknown")) ||
             qtText.contains(QLatin1String("certificate expired")))
        why = QStringLiteral("會員資料服務不接受本店的用戶端憑證");
    else if (error == QAbstractSocket::RemoteHostClosedError)
        why = QStringLiteral("會員資料服務在加密交握時關閉連線 (該連線埠可能不是加密連線埠)");
    return QStringLiteral("無法建立加密連線: ") + why;
}

QString TlsText::summary(const QSslCertificate& certificate) {
    if (certificate.isNull())
        return {};
    return QStringLiteral("伺服器憑證: %1\n有效期限至: %2")
        .arg(certificate.subjectDisplayName(),
             certificate.expiryDate().toLocalTime().toString(QStringLiteral("yyyy/MM/dd HH:mm")));
}

} // namespace tolva
