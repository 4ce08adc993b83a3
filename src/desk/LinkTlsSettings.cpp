#include "desk/LinkTlsSettings.h"

#include "app/SettingsStore.h"
#include "desk/Controls.h"
#include "desk/DeskView.h"

#include <QFileInfo>

namespace tolva {

namespace {
const QString kZelq = QStringLiteral("ZELQ");
const QString kOn = QStringLiteral("TLS");
const QString kCa = QStringLiteral("TLSCA");
const QString kCert = QStringLiteral("TLSCert");
const QString kKey = QStringLiteral("TLSKey");

bool readable(const QString& path) {
    const QFileInfo file(path);
    return file.isFile() && file.isReadable();
}
} // namespace

LinkTls LinkTlsSettings::read(const SettingsStore& store, const QString& section) {
    LinkTls tls;
    tls.on = store.Get(kZelq, section, kOn).trimmed() == QLatin1String("1");
    tls.caFile = store.Get(kZelq, section, kCa);
    tls.certFile = store.Get(kZelq, section, kCert);
    tls.keyFile = store.Get(kZelq, section, kKey);
    return tls;
}

QList<QPair<QString, QString>> LinkTlsSettings::values(const LinkTls& tls) {
    return {{kOn, tls.on ? QStringLiteral("1") : QStringLiteral("0")},
            {kCa, tls.caFile},
            {kCert, tls.certFile},
            {kKey, tls.keyFile}};
}

LinkTls LinkTlsSettings::shown(const DeskView& view) {
    LinkTls tls;
    tls.on = view.isChecked(ctl::chkTLS);
    tls.caFile = view.text(ctl::txtTlsCA).trimmed();
    tls.certFile = view.text(ctl::txtTlsCert).trimmed();
    tls.keyFile = view.text(ctl::txtTlsKey).trimmed();
    return tls;
}

void LinkTlsSettings::show(DeskView& view, const LinkTls& tls) {
    view.setChecked(ctl::chkTLS, tls.on);
    view.setText(ctl::txtTlsCA, tls.caFile);
    view.setText(ctl::txtTlsCert, tls.certFile);
    view.setText(ctl::txtTlsKey, tls.keyFile);
}

QString LinkTlsSettings::problem(const LinkTls& tls) {
    if (!tls.on)
        return {};
    if (tls.caFile.isEmpty())
        return QStringLiteral("請輸入 CA 憑證檔");
    if (tls.certFile.isEmpty() != tls.keyFile.isEmpty())
        return QStringLiteral("用戶端憑證檔與金鑰檔須一併設定");
    for (const QString& file : {tls.caFile, tls.certFile, tls.keyFile})
        if (!file.isEmpty() && !readable(file))
            return QStringLiteral("無法讀取檔案: ") + file;
    return {};
}

} // namespace tolva
