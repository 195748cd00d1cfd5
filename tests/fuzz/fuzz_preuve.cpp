// The proof of origin's readers on any bytes: a signature file, then a NUL,
// then the message it signs (a manifest). The same bytes are read as a public
// key file. Nothing may crash; a manifest that reads names each of its lines.

#include "commun.h"
#include "base/echec.h"
#include "records/preuve.h"

using namespace velorine;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* octets, std::size_t taille)
{
    static const ClePublique cle = lirecle("untrusted comment: minisign public key 20EFD0E7F4E8BA07\n"
                                           "RWQHuuj059DvIG32awkpLkE9EfxOHeLX6eOn85c/hFDVORb6l/mNpOIE\n");
    const QByteArray entree(reinterpret_cast<const char*>(octets), static_cast<qsizetype>(taille));
    const qsizetype nul = entree.indexOf('\0');
    const QByteArray signature = nul < 0 ? entree : entree.left(nul);
    const QByteArray message = nul < 0 ? QByteArray() : entree.mid(nul + 1);

    try {
        lirecle(entree);
    } catch (const Echec&) {
    }
    try {
        verifiersignature(cle, message, signature);
    } catch (const Echec&) {
    }
    try {
        const Manifeste m = Manifeste::lire(message);
        qsizetype lignes = 0;
        for (QByteArray ligne : message.split('\n')) {
            if (ligne.endsWith('\r'))
                ligne.chop(1);
            if (ligne.isEmpty())
                continue;
            ++lignes;
            if (!m.contient(QString::fromUtf8(ligne.mid(66))))
                std::abort();
        }
        if (lignes != m.taille())
            std::abort();
    } catch (const Echec&) {
    }
    return 0;
}
