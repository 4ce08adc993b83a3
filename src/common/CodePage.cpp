#include "common/CodePage.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <iconv.h>

namespace tolva {

namespace {

const iconv_t kNoIconv = reinterpret_cast<iconv_t>(static_cast<std::intptr_t>(-1));

iconv_t asIconv(void* handle) {
    return handle ? static_cast<iconv_t>(handle) : kNoIconv;
}

// Length of the UTF-8 sequence that starts with the given byte (1 for stray bytes).
int utf8Length(unsigned char lead) {
    if (lead >= 0xF0)
        return 4;
    if (lead >= 0xE0)
        return 3;
    if (lead >= 0xC0)
        return 2;
    return 1;
}

// Runs iconv over the whole input; on an unconvertible or invalid sequence it
// writes the replacement and skips the sequence (one character or one byte).
QByteArray convert(iconv_t cd, const QByteArray& input, const QByteArray& replacement, bool skipUtf8Char) {
    QByteArray out;
    if (cd == kNoIconv || input.isEmpty())
        return out;
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    out.resize(input.size() * 4 + 16);
    char* in = const_cast<char*>(input.constData());
    size_t inLeft = static_cast<size_t>(input.size());
    char* dst = out.data();
    size_t outLeft = static_cast<size_t>(out.size());
    while (inLeft > 0) {
        const size_t rc = iconv(cd, &in, &inLeft, &dst, &outLeft);
        if (rc != static_cast<size_t>(-1))
            break;
        if (errno == E2BIG) {
            const qsizetype used = dst - out.data();
            out.resize(out.size() * 2);
            dst = out.data() + used;
            outLeft = static_cast<size_t>(out.size() - used);
            continue;
        }
        // EILSEQ or EINVAL: replace and step over the offending sequence.
        size_t skip = skipUtf8Char ? static_cast<size_t>(utf8Length(static_cast<unsigned char>(*in))) : 1;
        skip = std::min(skip, inLeft);
        in += skip;
        inLeft -= skip;
        if (outLeft < static_cast<size_t>(replacement.size())) {
            const qsizetype used = dst - out.data();
            out.resize(out.size() * 2 + replacement.size());
            dst = out.data() + used;
            outLeft = static_cast<size_t>(out.size() - used);
        }
        std::copy(replacement.begin(), replacement.end(), dst);
        dst += replacement.size();
        outLeft -= static_cast<size_t>(replacement.size());
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
    }
    out.resize(dst - out.data());
    return out;
}

bool isAscii(const QByteArray& bytes) {
    for (const char c : bytes)
        if (static_cast<unsigned char>(c) >= 0x80)
            return false;
    return true;
}

// Whether the code page holds every ASCII character as the same byte both
// ways (CP950 and most do; Shift-JIS, for one, reads 0x5C as the yen sign).
bool keepsAscii(iconv_t to, iconv_t from) {
    if (to == kNoIconv || from == kNoIconv)
        return false;
    QByteArray ascii(128, Qt::Uninitialized);
    for (int i = 0; i < 128; ++i)
        ascii[i] = static_cast<char>(i);
    return convert(to, ascii, QByteArrayLiteral("?"), true) == ascii &&
           convert(from, ascii, QByteArrayLiteral("\xEF\xBF\xBD"), false) == ascii;
}

} // namespace

CodePage::CodePage(const QString& name) {
    open(name);
}

CodePage::~CodePage() {
    close();
}

CodePage::CodePage(const CodePage& other) {
    open(other.m_name);
}

CodePage& CodePage::operator=(const CodePage& other) {
    if (this != &other) {
        close();
        open(other.m_name);
    }
    return *this;
}

CodePage CodePage::fromEnvironment() {
    const QString name = qEnvironmentVariable("TOLVA_CODEPAGE");
    return CodePage(name.trimmed().isEmpty() ? QString::fromLatin1(kDefault) : name.trimmed());
}

void CodePage::open(const QString& name) {
    m_name = name;
    const QByteArray cp = name.toLatin1();
    iconv_t to = iconv_open(cp.constData(), "UTF-8");
    iconv_t from = iconv_open("UTF-8", cp.constData());
    m_valid = to != kNoIconv && from != kNoIconv;
    if (!m_valid) {
        if (to != kNoIconv)
            iconv_close(to);
        if (from != kNoIconv)
            iconv_close(from);
        to = iconv_open(kDefault, "UTF-8");
        from = iconv_open("UTF-8", kDefault);
    }
    m_toCp = to == kNoIconv ? nullptr : to;
    m_fromCp = from == kNoIconv ? nullptr : from;
    m_asciiSame = keepsAscii(to, from);
}

void CodePage::close() {
    if (m_toCp)
        iconv_close(asIconv(m_toCp));
    if (m_fromCp)
        iconv_close(asIconv(m_fromCp));
    m_toCp = m_fromCp = nullptr;
}

// Most of the link's statements and many of its replies are ASCII only:
// those skip iconv where the code page keeps ASCII as it is.
QByteArray CodePage::encode(const QString& text) const {
    return encodeUtf8(text.toUtf8());
}

QByteArray CodePage::encodeUtf8(const QByteArray& utf8) const {
    if (m_asciiSame && isAscii(utf8))
        return utf8;
    return convert(asIconv(m_toCp), utf8, QByteArrayLiteral("?"), true);
}

QString CodePage::decode(const QByteArray& bytes) const {
    if (m_asciiSame && isAscii(bytes))
        return QString::fromLatin1(bytes);
    return QString::fromUtf8(convert(asIconv(m_fromCp), bytes, QByteArrayLiteral("\xEF\xBF\xBD"), false));
}

} // namespace tolva
