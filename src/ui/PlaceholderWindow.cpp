#include "PlaceholderWindow.h"

#include <QLabel>

namespace tolva {

PlaceholderWindow::PlaceholderWindow() {
    setObjectName(QStringLiteral("fmTOLVA"));
    setWindowTitle(QStringLiteral("會員點數作業"));
    setCentralWidget(new QLabel(QStringLiteral("會員點數作業"), this));
    resize(1024, 768);
}

} // namespace tolva
