#include "support/DeskFixture.h"

#include <QFile>

QString DeskFixture::errors() const {
    QFile f(ctx.g.gErrFile);
    if (!f.open(QIODevice::ReadOnly))
        return QString();
    return ctx.codePage.decode(f.readAll());
}
