#pragma once

#include "link/LinkSettings.h"

#include <QList>
#include <QPair>
#include <QString>

namespace tolva {

class DeskView;
class SettingsStore;

// The link's TLS settings where the link's address and password are kept
// (application "ZELQ", section = the program's name): "TLS" ("1" on, else
// off), "TLSCA", "TLSCert" and "TLSKey" (file paths); and the fields of the
// settings page that show them (chkTLS, txtTlsCA, txtTlsCert, txtTlsKey).
namespace LinkTlsSettings {

LinkTls read(const SettingsStore& store, const QString& section);
// The keys and values to save, in one rewrite with "IP" and "PWD".
QList<QPair<QString, QString>> values(const LinkTls& tls);

LinkTls shown(const DeskView& view);
void show(DeskView& view, const LinkTls& tls);

// What is wrong with settings the operator typed, in the operator's words;
// empty when they can be used: with TLS on a readable CA file, and the
// desk's certificate and key both (readable) or neither.
QString problem(const LinkTls& tls);

} // namespace LinkTlsSettings

} // namespace tolva
