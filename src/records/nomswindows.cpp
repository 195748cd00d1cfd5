#include "records/nomswindows.h"

#include "base/echec.h"

#include <QFile>
#include <QHash>
#include <QStringList>
#include <algorithm>
#include <dirent.h>
#include <optional>

namespace velorine {

QString avecseparateur(const QString& dossier)
{
    if (dossier.endsWith(separateur))
        return dossier;
    return dossier + separateur;
}

namespace {

// The text two names differing only in case share: each character folded
// as a case-insensitive comparison folds it.
QString cle(const QString& nom)
{
    QString r;
    r.reserve(nom.size());
    for (const char32_t c : nom.toUcs4()) {
        const char32_t p = QChar::toCaseFolded(c);
        if (QChar::requiresSurrogates(p)) {
            r.append(QChar(QChar::highSurrogate(p)));
            r.append(QChar(QChar::lowSurrogate(p)));
        } else {
            r.append(QChar(static_cast<char16_t>(p)));
        }
    }
    return r;
}

// A folder's text as a key: without its trailing separators, a root kept.
QString cledossier(const QString& dossier)
{
    qsizetype n = dossier.size();
    while (n > 1 && dossier[n - 1] == separateur)
        --n;
    return dossier.left(n);
}

// The entries of one folder, by their case-folded names.
using Entrees = QHash<QString, QStringList>;

// Every entry of the folder (hidden ones, links and special files too);
// none when it cannot be read.
Entrees lire(const QString& dossier)
{
    Entrees entrees;
    const QByteArray chemin = QFile::encodeName(dossier);
    DIR* d = ::opendir(chemin.isEmpty() ? "." : chemin.constData());
    if (!d)
        return entrees;
    while (const dirent* e = ::readdir(d)) {
        const QString nom = QFile::decodeName(e->d_name);
        if (nom != u"." && nom != u"..")
            entrees[cle(nom)].append(nom);
    }
    ::closedir(d);
    return entrees;
}

// How many characters of entree differ from partie, of the same length
// once folded; the longest possible when their lengths differ.
qsizetype ecart(const QString& entree, const QString& partie)
{
    if (entree.size() != partie.size())
        return entree.size() + partie.size();
    qsizetype n = 0;
    for (qsizetype i = 0; i < entree.size(); ++i)
        n += entree[i] != partie[i];
    return n;
}

QString trouverentree(const Entrees& entrees, const QString& partie)
{
    const auto it = entrees.constFind(cle(partie));
    if (it == entrees.cend())
        return partie;
    const QStringList& variantes = *it;
    if (variantes.contains(partie))
        return partie;
    const QString* choisie = nullptr;
    for (const QString& v : variantes) {
        if (v.compare(partie, Qt::CaseInsensitive) != 0)
            continue;
        if (!choisie || ecart(v, partie) < ecart(*choisie, partie)
            || (ecart(v, partie) == ecart(*choisie, partie) && v < *choisie))
            choisie = &v;
    }
    return choisie ? *choisie : partie;
}

} // namespace

struct MemoireNoms::Dossiers {
    QHash<QString, Entrees> lus;

    const Entrees& entrees(const QString& dossier)
    {
        const QString k = cledossier(dossier);
        auto it = lus.find(k);
        if (it == lus.end())
            it = lus.insert(k, lire(dossier));
        return *it;
    }
};

namespace {

thread_local MemoireNoms::Dossiers* memoire = nullptr;

// The folder part and the name of chemin, for the run's own changes.
template <typename Action>
void changer(const QString& chemin, Action&& action)
{
    if (!memoire)
        return;
    const qsizetype i = chemin.lastIndexOf(separateur);
    const QString nom = chemin.mid(i + 1);
    if (i < 0 || nom.isEmpty())
        return;
    const auto it = memoire->lus.find(cledossier(i == 0 ? QString(separateur) : chemin.left(i)));
    if (it != memoire->lus.end())
        action(*it, nom);
}

} // namespace

MemoireNoms::MemoireNoms()
{
    if (!memoire) {
        dossiers_ = std::make_unique<Dossiers>();
        memoire = dossiers_.get();
    }
}

MemoireNoms::~MemoireNoms()
{
    if (dossiers_)
        memoire = nullptr;
}

void entreecreee(const QString& chemin)
{
    changer(chemin, [](Entrees& entrees, const QString& nom) {
        QStringList& variantes = entrees[cle(nom)];
        if (!variantes.contains(nom))
            variantes.append(nom);
    });
}

void entreeotee(const QString& chemin)
{
    changer(chemin, [](Entrees& entrees, const QString& nom) {
        const auto it = entrees.find(cle(nom));
        if (it == entrees.end())
            return;
        it->removeAll(nom);
        if (it->isEmpty())
            entrees.erase(it);
    });
}

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

    // Without a run's memory, the folders are read for this name alone.
    std::optional<MemoireNoms::Dossiers> locale;
    MemoireNoms::Dossiers& dossiers = memoire ? *memoire : locale.emplace();
    QString chemin = dossier;
    for (const QString& partie : parties)
        chemin = avecseparateur(chemin) + trouverentree(dossiers.entrees(chemin), partie);
    return chemin;
}

} // namespace velorine
