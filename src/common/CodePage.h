#pragma once

#include <QByteArray>
#include <QString>

namespace tolva {

// Converts between the program's text and the site's ANSI code page (CP950 by
// default) with glibc iconv. Characters the code page cannot hold become "?";
// bytes that are not valid in it become U+FFFD. Never throws.
class CodePage {
public:
    static constexpr const char* kDefault = "CP950";

    explicit CodePage(const QString& name = QString::fromLatin1(kDefault));
    ~CodePage();
    CodePage(const CodePage& other);
    CodePage& operator=(const CodePage& other);

    // The code page named by the environment variable TOLVA_CODEPAGE, else CP950.
    static CodePage fromEnvironment();

    QString name() const { return m_name; }
    // False when iconv does not know the requested name; the converter then
    // falls back to CP950.
    bool isValid() const { return m_valid; }

    QByteArray encode(const QString& text) const;
    // The same for text that is UTF-8 already (no round trip through QString).
    QByteArray encodeUtf8(const QByteArray& utf8) const;
    QString decode(const QByteArray& bytes) const;

private:
    void open(const QString& name);
    void close();

    QString m_name;
    bool m_valid = false;
    bool m_asciiSame = false; // ASCII text is the same bytes in the code page: no conversion needed
    void* m_toCp = nullptr;   // iconv_t UTF-8 -> code page
    void* m_fromCp = nullptr; // iconv_t code page -> UTF-8
};

} // namespace tolva
