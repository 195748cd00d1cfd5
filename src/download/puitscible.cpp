#include "download/puitscible.h"

#include "download/partiel.h"
#include "records/espacedisque.h"

#include <QFile>
#include <QFileInfo>

namespace velorine {

PuitsCible::PuitsCible(std::function<QString()> cible, const QString& racine, bool enavance)
    : cible_(std::move(cible)), racine_(racine), enavance_(enavance)
{
}

void PuitsCible::ecrire(const char* octets, std::size_t nombre)
{
    FichierAtomique& f = fichier();
    reserverespace(QFileInfo(f.cible()).path(), nombre);
    f.ecrire(octets, nombre);
}

PuitsCible::~PuitsCible()
{
    // A partial file taken up and neither finished nor kept again is gone
    // with its record.
    if (fichier_ && partielrepris_) {
        const QString cible = fichier_->cible();
        fichier_.reset();
        oterpartiel(cible, racine_);
    }
}

void PuitsCible::recommencer()
{
    // The server sends the whole file: a partial file taken up is of no
    // more use.
    if (fichier_ && partielrepris_) {
        const QString cible = fichier_->cible();
        fichier_.reset();
        oterpartiel(cible, racine_);
    }
    fichier_.reset();
    partielrepris_ = false;
    vus_.reset();
}

void PuitsCible::permettrereprise(const QString& adresse)
{
    adressereprise_ = adresse;
}

Requete PuitsCible::requete() const
{
    if (partielrepris_ && fichier_)
        return {fichier_->taille(), false, partielsi_};
    if (adressereprise_.isEmpty() || partielcherche_ || fichier_)
        return {};
    partielcherche_ = true;
    QString cible;
    try {
        cible = cible_();
        const std::optional<Partiel> p = lirepartiel(cible, racine_);
        // A damaged record, or one kept for another address or for a file
        // it already holds whole: not a start of this file.
        if (!p) {
            oterpartiel(cible, racine_);
            return {};
        }
        if (p->adresse == adressereprise_) {
            fichier_.emplace(cible, racine_, nompartiel(QFile::encodeName(QFileInfo(cible).fileName())));
            const long long debut = fichier_->taille();
            if (debut > 0 && debut < p->validateurs.longueur) {
                partielrepris_ = true;
                partielsi_ = p->validateurs;
                return {debut, false, partielsi_};
            }
            fichier_.reset();
        }
        oterpartiel(cible, racine_);
    } catch (const std::exception&) {
        // No partial file to take up (not a regular file of this run's
        // making, or held by another process): the whole file is fetched,
        // and what was found goes.
        fichier_.reset();
        if (!cible.isEmpty())
            oterpartiel(cible, racine_);
    }
    return {};
}

void PuitsCible::validateurs(const Validateurs& v)
{
    vus_ = v;
    // A large file is received straight into its partial file, named, with
    // its record beside it: a run killed, stopped or cut from power on the
    // way leaves what arrived for the next run to take up. Where that
    // cannot be, it is received into an unnamed temporary file.
    if (adressereprise_.isEmpty() || fichier_ || !partielgardable(v))
        return;
    QString cible;
    try {
        cible = cible_();
        ecrirepartiel(cible, racine_, Partiel{adressereprise_, v});
        creerpartiel(cible, racine_);
        fichier_.emplace(cible, racine_, nompartiel(QFile::encodeName(QFileInfo(cible).fileName())));
        partielrepris_ = true;
        partielsi_ = v;
    } catch (const std::exception&) {
        fichier_.reset();
        partielrepris_ = false;
        if (!cible.isEmpty())
            oterpartiel(cible, racine_);
    }
}

void PuitsCible::garderpartiel() noexcept
{
    if (adressereprise_.isEmpty() || !fichier_)
        return;
    const QString cible = fichier_->cible();
    const long long tenus = fichier_->taille();
    // A fetch taken up that broke off before the server answered keeps
    // what the record said.
    const std::optional<Validateurs> v = vus_ ? vus_ : partielrepris_ ? std::optional(partielsi_) : std::nullopt;
    const bool gardable = v && partielgardable(*v) && tenus > 0 && tenus < v->longueur;
    try {
        if (!gardable)
            throw Echec("rien à garder");
        fichier_->garder(nompartiel(QFile::encodeName(QFileInfo(cible).fileName())));
        fichier_.reset();
        partielrepris_ = false;
        ecrirepartiel(cible, racine_, Partiel{adressereprise_, *v});
    } catch (const std::exception&) {
        fichier_.reset();
        partielrepris_ = false;
        oterpartiel(cible, racine_);
    }
}

void PuitsCible::valider(DossiersASynchroniser& dossiers)
{
    FichierAtomique& f = fichier();
    if (enavance_) {
        const QString cible = cible_();
        if (cible != f.cible())
            f.recibler(cible);
    }
    if (controle_)
        controle_(f.descripteur());
    f.valider(std::nullopt, &dossiers);
    // The partial file is the target now; its record goes.
    if (partielrepris_)
        oterpartiel(f.cible(), racine_);
    partielrepris_ = false;
}

FichierAtomique& PuitsCible::fichier()
{
    if (!fichier_)
        fichier_.emplace(cible_(), racine_);
    return *fichier_;
}

} // namespace velorine
