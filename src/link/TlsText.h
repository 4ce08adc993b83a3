#pragma once

#include <QList>
#include <QSslCertificate>
#include <QSslError>
#include <QString>

namespace tolva {

// What the operator reads about the link's TLS: why the service's
// certificate was refused, and whose certificate it is.
namespace TlsText {

// "憑證驗證失敗: " and the reasons, in Chinese where the reason is a common
// one (wrong CA, out of date, another name), else in Qt's words.
QString verificationFailed(const QList<QSslError>& errors, const QString& host);
// The certificate's subject and the last day it is valid.
QString summary(const QSslCertificate& certificate);

} // namespace TlsText

} // namespace tolva
