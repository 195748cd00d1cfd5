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

    // A body of unknown length, or one that lies about it, stops before it
    // would leave the disk almost full.
    void ecrire(const char* octets, std::size_t nombre) override;

    void recommencer() override;

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
    std::optional<FichierAtomique> fichier_;
};

} // namespace velorine
