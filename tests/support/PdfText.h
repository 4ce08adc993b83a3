#pragma once

#include <QProcess>
#include <QString>

// The text of a PDF file as "pdftotext -layout" reads it (pages split by form
// feeds); empty when pdftotext is missing or fails.
inline QString pdfText(const QString& path) {
    QProcess p;
    p.start(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), path, QStringLiteral("-")});
    if (!p.waitForFinished(30000) || p.exitCode() != 0)
        return QString();
    return QString::fromUtf8(p.readAllStandardOutput());
}

// The lines of a text with their runs of blanks squeezed to one blank.
inline QStringList squeezedLines(const QString& text) {
    QStringList lines;
    for (const QString& line : text.split(u'\n'))
        lines << line.simplified();
    return lines;
}
