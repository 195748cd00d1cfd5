#include "records/cp1252.h"

#include <array>

namespace velorine::cp1252 {
namespace {

// Characters of bytes 0x80 to 0x9F; every other byte is its Latin-1 value.
constexpr std::array<char16_t, 32> haut = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

char versoctet(char16_t c)
{
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF))
        return static_cast<char>(c);
    for (std::size_t i = 0; i < haut.size(); ++i) {
        if (haut[i] == c)
            return static_cast<char>(0x80 + i);
    }
    return '?';
}

} // namespace

QString decoder(const QByteArray& octets)
{
    QString texte;
    texte.resize(octets.size());
    for (qsizetype i = 0; i < octets.size(); ++i) {
        const auto b = static_cast<unsigned char>(octets[i]);
        texte[i] = QChar(b >= 0x80 && b < 0xA0 ? haut[b - 0x80] : char16_t(b));
    }
    return texte;
}

QByteArray encoder(const QString& texte)
{
    QByteArray octets;
    octets.reserve(texte.size());
    for (qsizetype i = 0; i < texte.size(); ++i) {
        const QChar c = texte[i];
        if (c.isHighSurrogate() && i + 1 < texte.size() && texte[i + 1].isLowSurrogate())
            ++i; // one character outside the code page, one '?'
        octets.append(c.isSurrogate() ? '?' : versoctet(c.unicode()));
    }
    return octets;
}

} // namespace velorine::cp1252
