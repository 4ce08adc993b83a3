#pragma once

#include <QAbstractSocket>
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
// "無法建立加密連線: " and why, for a handshake that broke off for another
// reason than the service's certificate, from the socket's error and Qt's
// text (OpenSSL's alert): the service wants the store's certificate, refuses
// the one shown, or is no TLS service; other reasons in Qt's words.
QString handshakeFailed(QAbstractSocket::SocketError error, const QString& qtText);
// The certificate's subject and the last day it is valid.
QString summary(const QSslCertificate& certificate);

} // namespace TlsText

} // namespace tolva
