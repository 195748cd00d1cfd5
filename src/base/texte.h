#pragma once
#include <QString>

namespace velorine {

// Removes leading and trailing space characters, and only those: tabs and
// other blanks are part of the text.
inline QString rogner(const QString& texte)
{
    qsizetype debut = 0;
    qsizetype fin = texte.size();
    while (debut < fin && texte[debut] == u' ')
        ++debut;
    while (fin > debut && texte[fin - 1] == u' ')
        --fin;
    return texte.mid(debut, fin - debut);
}

} // namespace velorine
