#pragma once
// Numbers written as text in records, lists and messages.

#include <QString>
#include <cstdint>

namespace velorine {

// The leading-number rule. Blanks, tabs and line feeds are ignored wherever
// they stand ("1 2" reads 12). After them: an optional sign, digits with at
// most one decimal point, and an optional exponent introduced by E or D; or
// the prefixes "&H" (hexadecimal) and "&O" (octal), whose values that fit in
// 16 (or 32) bits read as signed 16-bit (or 32-bit) values, "&HFFFF" being
// -1. Reading stops at the first other character; text with no number at its
// start reads 0. Throws Echec only when the value is too large for a double.
double lirenombre(const QString& texte);

// Converts to a signed 16-bit integer, rounding halves to the even neighbour
// (2.5 gives 2, 3.5 gives 4). Throws Echec outside -32768 to 32767.
std::int16_t entier16(double valeur);

// Decimal digits behind one blank for a value of 0 or more, behind "-" for a
// negative one: 5 gives " 5", -3 gives "-3".
QString textenombre(long long valeur);

// Adds one to a 16-bit counter; going past 32767 throws Echec.
std::int16_t plusun(std::int16_t compteur);

} // namespace velorine
