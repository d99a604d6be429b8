#include "devserver/storage/collation.h"

#include <QString>

#include <algorithm>
#include <cerrno>
#include <string>
#include <utility>

#include <iconv.h>
#include <sqlite3.h>

namespace ztds::storage {

namespace {

QStringView withoutTrailingBlanks(QStringView s) {
    qsizetype n = s.size();
    while (n > 0 && s.at(n - 1) == u' ')
        --n;
    return s.left(n);
}

int compareUtf16(void*, int lengthA, const void* a, int lengthB, const void* b) {
    const QStringView left(static_cast<const QChar*>(a), lengthA / 2);
    const QStringView right(static_cast<const QChar*>(b), lengthB / 2);
    return compareCollated(left, right, true);
}

} // namespace

QChar collationFold(QChar c) {
    char16_t u = c.unicode();
    if (u >= 0xFF01 && u <= 0xFF5E) // full-width ASCII forms
        u = static_cast<char16_t>(u - 0xFEE0);
    else if (u == 0x3000) // ideographic space
        u = u' ';
    return QChar(u).toCaseFolded();
}

int compareCollated(QStringView a, QStringView b, bool caseInsensitive) {
    const QStringView left = withoutTrailingBlanks(a);
    const QStringView right = withoutTrailingBlanks(b);
    if (!caseInsensitive) {
        const int c = left.compare(right, Qt::CaseSensitive);
        return c < 0 ? -1 : (c > 0 ? 1 : 0);
    }
    const qsizetype common = std::min(left.size(), right.size());
    for (qsizetype i = 0; i < common; ++i) {
        const char16_t x = collationFold(left.at(i)).unicode();
        const char16_t y = collationFold(right.at(i)).unicode();
        if (x != y)
            return x < y ? -1 : 1;
    }
    return left.size() == right.size() ? 0 : (left.size() < right.size() ? -1 : 1);
}

void registerCollation(sqlite3* db) {
    sqlite3_create_collation_v2(db, "ZTCI", SQLITE_UTF16_ALIGNED, nullptr, compareUtf16, nullptr);
}

} // namespace ztds::storage

namespace ztds::storage {

namespace {

// iconv between UTF-8 and the code page; an unconvertible input character becomes '?'.
// One converter per direction and thread, opened once: rows convert value by value.
class Converter {
public:
    Converter(const char* to, const char* from) : handle_(iconv_open(to, from)) {}
    ~Converter() {
        if (valid())
            iconv_close(handle_);
    }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;
    bool valid() const { return handle_ != reinterpret_cast<iconv_t>(-1); }
    iconv_t handle() const {
        iconv(handle_, nullptr, nullptr, nullptr, nullptr); // back to the initial state
        return handle_;
    }

private:
    iconv_t handle_;
};

std::string convertCharset(bool toCodePage, const std::string& input, size_t inputUnit) {
    thread_local const Converter encoder("GBK", "UTF-8");
    thread_local const Converter decoder("UTF-8", "GBK");
    const Converter& chosen = toCodePage ? encoder : decoder;
    if (!chosen.valid())
        return input;
    iconv_t converter = chosen.handle();
    std::string source = input;
    std::string output(source.size() * 4 + 8, '\0');
    char* in = source.data();
    size_t inLeft = source.size();
    char* out = output.data();
    size_t outLeft = output.size();
    while (inLeft > 0) {
        if (iconv(converter, &in, &inLeft, &out, &outLeft) != size_t(-1))
            break;
        if ((errno != EILSEQ && errno != EINVAL) || outLeft == 0)
            break;
        // Skip the whole offending character: one unit, or a UTF-8 sequence.
        size_t skip = inputUnit;
        if (inputUnit == 0) {
            const auto lead = static_cast<unsigned char>(*in);
            skip = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
        }
        skip = std::min(skip, inLeft);
        in += skip;
        inLeft -= skip;
        *out++ = '?';
        --outLeft;
    }
    output.resize(output.size() - outLeft);
    return output;
}

} // namespace

QByteArray toCodePage(QStringView text) {
    const QByteArray utf8 = text.toUtf8();
    const std::string out =
        convertCharset(true, std::string(utf8.constData(), size_t(utf8.size())), 0);
    return QByteArray(out.data(), qsizetype(out.size()));
}

QString fromCodePage(const QByteArray& bytes) {
    const std::string out =
        convertCharset(false, std::string(bytes.constData(), size_t(bytes.size())), 1);
    return QString::fromUtf8(out.data(), qsizetype(out.size()));
}

int codePageLength(QStringView text) {
    bool ascii = true;
    for (const QChar c : text)
        ascii = ascii && c.unicode() < 0x80;
    return ascii ? int(text.size()) : int(toCodePage(text).size());
}

QString leftCodePageBytes(const QString& text, int bytes) {
    if (codePageLength(text) <= bytes)
        return text;
    // Cut the encoded form at a character boundary: in GBK a byte from 0x81 up leads a pair.
    const QByteArray encoded = toCodePage(text);
    qsizetype keep = 0;
    while (keep < encoded.size()) {
        const qsizetype width = static_cast<uint8_t>(encoded[keep]) >= 0x81 ? 2 : 1;
        if (keep + width > bytes)
            break;
        keep += width;
    }
    return fromCodePage(encoded.left(keep));
}

int collationCodePage(const QString& name) {
    // Longer prefixes first where one family's name starts another's.
    static const std::pair<const char*, int> families[] = {
        {"Chinese_PRC", 936},
        {"Chinese_Simplified", 936},
        {"Chinese_Taiwan", 950},
        {"Chinese_Traditional", 950},
        {"Chinese_Hong_Kong", 950},
        {"Japanese", 932},
        {"Korean", 949},
        {"Thai", 874},
        {"Vietnamese", 1258},
        {"Arabic", 1256},
        {"Hebrew", 1255},
        {"Greek", 1253},
        {"Turkish", 1254},
        {"Cyrillic", 1251},
        {"Ukrainian", 1251},
        {"Macedonian", 1251},
        {"Kazakh", 1251},
        {"Tatar", 1251},
        {"Estonian", 1257},
        {"Latvian", 1257},
        {"Lithuanian", 1257},
        {"Albanian", 1250},
        {"Croatian", 1250},
        {"Czech", 1250},
        {"Hungarian", 1250},
        {"Polish", 1250},
        {"Romanian", 1250},
        {"Slovak", 1250},
        {"Slovenian", 1250},
        {"Bosnian_Latin", 1250},
        {"Serbian_Latin", 1250},
        {"Serbian_Cyrillic", 1251},
        {"Bosnian_Cyrillic", 1251},
        {"SQL_Latin1_General_CP1250", 1250},
        {"SQL_Latin1_General_CP1251", 1251},
        {"SQL_Latin1_General_CP1253", 1253},
        {"SQL_Latin1_General_CP1254", 1254},
        {"SQL_Latin1_General_CP1255", 1255},
        {"SQL_Latin1_General_CP1256", 1256},
        {"SQL_Latin1_General_CP1257", 1257},
        {"SQL_Latin1_General_CP437", 437},
        {"SQL_Latin1_General_CP850", 850},
        {"SQL_Latin1_General", 1252},
        {"SQL_", 1252},
        {"Latin1_General", 1252},
        {"Danish_Norwegian", 1252},
        {"Finnish_Swedish", 1252},
        {"French", 1252},
        {"German", 1252},
        {"Icelandic", 1252},
        {"Modern_Spanish", 1252},
        {"Traditional_Spanish", 1252},
        {"Mexican", 1252},
    };
    for (const auto& [prefix, codePage] : families)
        if (name.startsWith(QLatin1String(prefix), Qt::CaseInsensitive))
            return codePage;
    return 0;
}

} // namespace ztds::storage
