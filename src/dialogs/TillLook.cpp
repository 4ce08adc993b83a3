#include "dialogs/TillLook.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QTranslator>

namespace tolva {

namespace {
const char* const kTillStyle = "QDialogButtonBox QPushButton, QMessageBox QPushButton,"
                               " QInputDialog QPushButton { min-height: 48px; min-width: 96px; }"
                               "QTabBar::tab { min-height: 48px; }"
                               "QCheckBox::indicator { width: 32px; height: 32px; }";
} // namespace

QFont tillFont() {
    QFont font(QStringLiteral("WenQuanYi Micro Hei"), kTillTextPointSize);
    font.setHintingPreference(QFont::PreferNoHinting);
    return font;
}

bool applyTillLook(QApplication& app) {
    QApplication::setFont(tillFont());
    app.setStyleSheet(QString::fromLatin1(kTillStyle));
    auto* translator = new QTranslator(&app);
    if (!translator->load(QStringLiteral("qtbase_zh_TW"),
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        delete translator;
        return false;
    }
    QApplication::installTranslator(translator);
    return true;
}

} // namespace tolva
