#include "records/nombres.h"

#include "base/echec.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <string>

namespace velorine {
namespace {

bool blanc(QChar c)
{
    return c == u' ' || c == u'\t' || c == u'\n';
}

int chiffre(QChar c, int base)
{
    int v = -1;
    if (c >= u'0' && c <= u'9')
        v = c.unicode() - u'0';
    else if (c >= u'a' && c <= u'f')
        v = c.unicode() - u'a' + 10;
    else if (c >= u'A' && c <= u'F')
        v = c.unicode() - u'A' + 10;
    return v < base ? v : -1;
}

// "&H" and "&O" values: 16-bit and 32-bit patterns read as signed values.
double lireprefixe(const QString& t, qsizetype i, int base)
{
    unsigned long long v = 0;
    bool trop = false;
    for (; i < t.size(); ++i) {
        const int d = chiffre(t[i], base);
        if (d < 0)
            break;
        v = v * base + d;
        if (v > 0xFFFFFFFFull)
            trop = true;
    }
    if (trop)
        throw Echec("valeur hors limites");
    if (v <= 0xFFFF)
        return static_cast<std::int16_t>(static_cast<std::uint16_t>(v));
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(v));
}

// The decimal order of magnitude of a number written as digits with at most
// one point and an optional exponent ("-0.05e3" is 1): negative for a number
// below 1, whatever the way it is written. A number without any digit other
// than 0 has order 0.
long long ordredegrandeur(const std::string& nombre)
{
    std::size_t i = 0;
    if (i < nombre.size() && nombre[i] == '-')
        ++i;
    long long entiers = 0;  // digits before the point, from the first one not 0
    long long decimale = 0; // place after the point of the digit read
    long long premiere = 0; // place after the point of the first digit not 0
    bool point = false;
    for (; i < nombre.size() && nombre[i] != 'e'; ++i) {
        const char c = nombre[i];
        if (c == '.') {
            point = true;
        } else if (!point) {
            if (entiers > 0 || c != '0')
                ++entiers;
        } else {
            ++decimale;
            if (premiere == 0 && c != '0')
                premiere = decimale;
        }
    }
    long long ordre = entiers > 0 ? entiers - 1 : -premiere;
    if (i < nombre.size()) {
        ++i; // 'e'
        bool negatif = false;
        if (i < nombre.size() && (nombre[i] == '+' || nombre[i] == '-'))
            negatif = nombre[i++] == '-';
        long long exposant = 0;
        for (; i < nombre.size(); ++i)
            exposant = std::min(exposant * 10 + (nombre[i] - '0'), 1'000'000'000LL);
        ordre += negatif ? -exposant : exposant;
    }
    return ordre;
}

} // namespace

double lirenombre(const QString& texte)
{
    QString t;
    t.reserve(texte.size());
    for (QChar c : texte) {
        if (!blanc(c))
            t.append(c);
    }

    if (t.size() >= 2 && t[0] == u'&') {
        const QChar p = t[1].toUpper();
        if (p == u'H')
            return lireprefixe(t, 2, 16);
        if (p == u'O')
            return lireprefixe(t, 2, 8);
        return 0;
    }

    std::string nombre;
    qsizetype i = 0;
    if (i < t.size() && (t[i] == u'+' || t[i] == u'-')) {
        if (t[i] == u'-')
            nombre += '-';
        ++i;
    }
    bool chiffres = false;
    bool point = false;
    for (; i < t.size(); ++i) {
        const QChar c = t[i];
        if (c >= u'0' && c <= u'9') {
            nombre += static_cast<char>(c.unicode());
            chiffres = true;
        } else if (c == u'.' && !point) {
            nombre += '.';
            point = true;
        } else {
            break;
        }
    }
    if (!chiffres)
        return 0;

    if (i < t.size() && (t[i].toUpper() == u'E' || t[i].toUpper() == u'D')) {
        std::string exposant = "e";
        qsizetype j = i + 1;
        if (j < t.size() && (t[j] == u'+' || t[j] == u'-'))
            exposant += static_cast<char>(t[j++].unicode());
        bool chiffresexposant = false;
        for (; j < t.size() && t[j] >= u'0' && t[j] <= u'9'; ++j) {
            exposant += static_cast<char>(t[j].unicode());
            chiffresexposant = true;
        }
        if (chiffresexposant)
            nombre += exposant;
    }

    double valeur = 0;
    const auto [fin, erreur] = std::from_chars(nombre.data(), nombre.data() + nombre.size(), valeur);
    (void)fin;
    if (erreur == std::errc::result_out_of_range) {
        // Underflow reads as zero; overflow is an error, as it is for the
        // numbers too large for a double.
        if (ordredegrandeur(nombre) >= 0)
            throw Echec("nombre trop grand: " + nombre);
        return 0;
    }
    if (erreur != std::errc() || !std::isfinite(valeur))
        throw Echec("nombre illisible: " + nombre);
    return valeur;
}

std::int16_t entier16(double valeur)
{
    if (std::isnan(valeur))
        throw Echec("conversion d'une valeur non numérique");
    const double arrondi = std::nearbyint(valeur); // ties to even
    if (arrondi < -32768.0 || arrondi > 32767.0)
        throw Echec("dépassement de capacité: " + std::to_string(valeur));
    return static_cast<std::int16_t>(arrondi);
}

QString textenombre(long long valeur)
{
    return (valeur >= 0 ? QStringLiteral(" ") : QString()) + QString::number(valeur);
}

std::int16_t plusun(std::int16_t compteur)
{
    if (compteur == 32767)
        throw Echec("dépassement de capacité du compteur");
    return static_cast<std::int16_t>(compteur + 1);
}

} // namespace velorine
