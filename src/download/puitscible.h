#pragma once
// The sink of a fetch that ends as a file: the body is received into a
// temporary file beside its target and put in the target's place once the
// whole body has arrived.

#include "platform/transfert.h"
#include "records/fichieratomique.h"

#include <QString>
#include <functional>
#include <optional>

namespace velorine {

// Receives a fetched body into a temporary file beside its target, and puts
// it in the target's place in valider(), once the whole body has arrived: a
// failed or cancelled fetch leaves the old file as it was and no temporary
// file behind, and memory stays flat whatever the size.
//
// The target is named, and its temporary file created, when the first bytes
// arrive (or at valider() for an empty body). So a fetch that fails is told
// as a fetch failure even when the target could not have been written, and a
// target that cannot be written stops the transfer at its first bytes, as a
// writing failure (EchecPuits). The target stays under racine: no symbolic
// link there leads the file elsewhere.
class PuitsCible : public Puits {
public:
    // cible names the target when it is needed; enavance: the sink of a
    // fetch ahead, whose target is named again at valider().
    PuitsCible(std::function<QString()> cible, const QString& racine, bool enavance = false);
    ~PuitsCible() override;

    // A body of unknown length, or one that lies about it, stops before it
    // would leave the disk almost full.
    void ecrire(const char* octets, std::size_t nombre) override;

    void recommencer() override;

    // The update run's files: a fetch of a large file from adresse that
    // breaks off may be kept to be finished by the next run (see
    // garderpartiel()), and the partial file an earlier run kept for the
    // same target and address is taken up: requete() asks for its rest.
    void permettrereprise(const QString& adresse);
    Requete requete() const override;
    void validateurs(const Validateurs& v) override;

    // After a fetch that failed (not cancelled, not for want of disk
    // space): keeps the bytes received as the target's hidden partial file,
    // with its record, when the file is over seuilpartiel bytes long, some
    // of it arrived, and the server named it by an ETag or a date and serves
    // ranges. Otherwise, or when keeping fails, nothing stays behind.
    void garderpartiel() noexcept;

    // Given a check, valider() first runs it on the whole file received
    // (a descriptor of its temporary file, open for reading): a check that
    // throws keeps the file out of place.
    void controler(std::function<void(int fd)> controle) { controle_ = std::move(controle); }

    // Puts the file in place; its folder joins dossiers, to be synced with
    // the run's other folders. A file fetched ahead is named again first:
    // the files put in place since may change which entry its name matches.
    void valider(DossiersASynchroniser& dossiers);

private:
    FichierAtomique& fichier();

    std::function<QString()> cible_;
    QString racine_;
    bool enavance_;
    std::function<void(int fd)> controle_;
    // Taken up from an earlier run's partial file, in requete().
    mutable std::optional<FichierAtomique> fichier_;

    QString adressereprise_; // empty: no partial file kept nor taken up
    mutable bool partielcherche_ = false;
    mutable bool partielrepris_ = false;
    mutable Validateurs partielsi_;
    std::optional<Validateurs> vus_;
};

} // namespace velorine
