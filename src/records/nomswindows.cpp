#include "records/nomswindows.h"

#include "base/echec.h"

#include <QDir>
#include <QStringList>
#include <algorithm>

namespace velorine {

QString avecseparateur(const QString& dossier)
{
    if (dossier.endsWith(separateur))
        return dossier;
    return dossier + separateur;
}

namespace {

QString trouverentree(const QString& dossier, const QString& partie)
{
    const QStringList entrees =
        QDir(dossier).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    if (entrees.contains(partie))
        return partie;
    for (const QString& entree : entrees) {
        if (entree.compare(partie, Qt::CaseInsensitive) == 0)
            return entree;
    }
    return partie;
}

} // namespace

bool caractererefuse(QChar c)
{
    return c.unicode() < 0x20 || c.unicode() == 0x7F || QStringView(u"<>:\"|?*").contains(c);
}

QString resoudrenom(const QString& dossier, const QString& nom)
{
    const std::string affiche = nom.toStdString();
    if (nom.contains(QChar(u'\0')))
        throw Echec("nom refusé (caractère nul): " + affiche);
    if (nom.startsWith(u'\\') || nom.startsWith(u'/'))
        throw Echec("nom refusé (chemin absolu): " + affiche);
    if (nom.size() >= 2 && nom[1] == u':' && nom[0].isLetter())
        throw Echec("nom refusé (lecteur): " + affiche);
    // The characters Windows refuses in a name: control characters would
    // also reach a terminal, and the others mean something to a shell.
    if (std::any_of(nom.cbegin(), nom.cend(), caractererefuse))
        throw Echec("nom refusé (caractère interdit): " + affiche);

    QStringList parties;
    QString courante;
    // Ends the path component read so far.
    const auto finpartie = [&] {
        if (courante.isEmpty() || courante == u".") {
            // nothing
        } else if (courante == u"..") {
            if (parties.isEmpty())
                throw Echec("nom refusé (sort du dossier): " + affiche);
            parties.removeLast();
        } else {
            parties.append(courante);
        }
        courante.clear();
    };
    for (QChar c : nom) {
        if (c == u'\\' || c == u'/')
            finpartie();
        else
            courante.append(c);
    }
    finpartie();

    QString chemin = dossier;
    for (const QString& partie : parties)
        chemin = avecseparateur(chemin) + trouverentree(chemin, partie);
    return chemin;
}

} // namespace velorine
