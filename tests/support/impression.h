#pragma once
// Qt texts printed as texts in test failures.

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <ostream>

inline void PrintTo(const QString& texte, std::ostream* sortie)
{
    *sortie << '"' << texte.toStdString() << '"';
}

inline void PrintTo(const QStringList& textes, std::ostream* sortie)
{
    *sortie << '{';
    for (qsizetype i = 0; i < textes.size(); ++i)
        *sortie << (i ? ", \"" : "\"") << textes[i].toStdString() << '"';
    *sortie << '}';
}

inline void PrintTo(const QByteArray& octets, std::ostream* sortie)
{
    *sortie << '"' << octets.left(200).toStdString() << (octets.size() > 200 ? "\"..." : "\"") << " (" << octets.size()
            << " octets)";
}

#if __has_include(<QColor>)
#include <QColor>

inline void PrintTo(const QColor& couleur, std::ostream* sortie)
{
    *sortie << "rgb(" << couleur.red() << ", " << couleur.green() << ", " << couleur.blue() << ")";
}
#endif
