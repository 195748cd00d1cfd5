#pragma once
#include <QString>
#include <cstdio>

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

// A text for a terminal or a log: a name read from a file or the network
// cannot forge lines or move the cursor, each control character shows as
// "?".
inline QString affichable(const QString& texte)
{
    QString t = texte;
    for (QChar& c : t)
        if (c.category() == QChar::Other_Control)
            c = u'?';
    return t;
}

// With --verbose (bavard), one line on standard error for the school's IT
// person: why a step failed, the file it could not write and the system's
// reason.
inline void raconterbavard(bool bavard, const QString& texte)
{
    if (!bavard)
        return;
    std::fprintf(stderr, "velorine-maj: %s\n", affichable(texte).toUtf8().constData());
    std::fflush(stderr);
}

} // namespace velorine
