#include "records/preuve.h"

#include "base/echec.h"
#include "records/nomswindows.h"
#include "records/sousdossier.h"

#include <QFile>
#include <QList>
#include <QStringDecoder>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sodium.h>
#include <sys/stat.h>
#include <string>
#include <unistd.h>

namespace velorine {

namespace {

constexpr char prefixenonfiable[] = "untrusted comment: ";
constexpr char prefixefiable[] = "trusted comment: ";

void initialisersodium()
{
    if (sodium_init() < 0)
        throw Echec("libsodium ne s'initialise pas");
}

std::string texte(const QString& s)
{
    return s.toStdString();
}

// The lines of a small text file: "\n" ends each one, a "\r" before it is
// dropped, and the last line may lack its "\n". NUL bytes are refused.
QList<QByteArray> lignes(const QByteArray& contenu, const char* quoi)
{
    if (contenu.contains('\0'))
        throw Echec(std::string(quoi) + " : octet nul");
    QList<QByteArray> resultat = contenu.split('\n');
    if (!resultat.isEmpty() && resultat.last().isEmpty())
        resultat.removeLast();
    for (QByteArray& l : resultat) {
        if (l.endsWith('\r'))
            l.chop(1);
    }
    return resultat;
}

// Strict base64 (standard alphabet, padding required, nothing ignored) of
// exactly attendu bytes.
QByteArray debase64(const QByteArray& b64, std::size_t attendu, const char* quoi)
{
    QByteArray octets(static_cast<qsizetype>(attendu) + 1, '\0');
    std::size_t longueur = 0;
    const char* fin = nullptr;
    if (sodium_base642bin(reinterpret_cast<unsigned char*>(octets.data()), static_cast<std::size_t>(octets.size()),
                          b64.constData(), static_cast<std::size_t>(b64.size()), nullptr, &longueur, &fin,
                          sodium_base64_VARIANT_ORIGINAL)
            != 0
        || fin != b64.constData() + b64.size())
        throw Echec(std::string(quoi) + " : base64 invalide");
    if (longueur != attendu)
        throw Echec(std::string(quoi) + " : longueur " + std::to_string(longueur) + " au lieu de "
                    + std::to_string(attendu));
    octets.truncate(static_cast<qsizetype>(attendu));
    return octets;
}

const unsigned char* octets(const QByteArray& a)
{
    return reinterpret_cast<const unsigned char*>(a.constData());
}

int valeurhex(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

} // namespace

ClePublique lirecle(const QByteArray& contenu)
{
    initialisersodium();
    if (contenu.size() > taillemaxcle)
        throw Echec("clé publique : fichier trop long");
    const QList<QByteArray> l = lignes(contenu, "clé publique");
    if (l.size() != 2 || !l[0].startsWith(prefixenonfiable))
        throw Echec("clé publique : format minisign attendu (commentaire puis clé)");
    const QByteArray brut = debase64(l[1], 2 + 8 + crypto_sign_PUBLICKEYBYTES, "clé publique");
    if (!brut.startsWith("Ed"))
        throw Echec("clé publique : algorithme inconnu");
    ClePublique cle;
    std::memcpy(cle.id.data(), brut.constData() + 2, cle.id.size());
    std::memcpy(cle.cle.data(), brut.constData() + 10, cle.cle.size());
    return cle;
}

QString verifiersignature(const ClePublique& cle, const QByteArray& message, const QByteArray& signature)
{
    initialisersodium();
    if (signature.size() > taillemaxsignature)
        throw Echec("signature : fichier trop long");
    const QList<QByteArray> l = lignes(signature, "signature");
    if (l.size() != 4 || !l[0].startsWith(prefixenonfiable) || !l[2].startsWith(prefixefiable))
        throw Echec("signature : format minisign attendu (quatre lignes)");

    const QByteArray sig = debase64(l[1], 2 + 8 + crypto_sign_BYTES, "signature");
    const QByteArray algorithme = sig.left(2);
    if (algorithme != "Ed" && algorithme != "ED")
        throw Echec("signature : algorithme inconnu");
    if (std::memcmp(sig.constData() + 2, cle.id.data(), cle.id.size()) != 0)
        throw Echec("signature : faite par une autre clé que la clé publique");

    const auto* brute = octets(sig) + 10;
    int bon = -1;
    if (algorithme == "ED") {
        unsigned char hache[crypto_generichash_BYTES_MAX];
        crypto_generichash(hache, sizeof hache, octets(message), static_cast<unsigned long long>(message.size()),
                           nullptr, 0);
        bon = crypto_sign_verify_detached(brute, hache, sizeof hache, cle.cle.data());
    } else {
        bon = crypto_sign_verify_detached(brute, octets(message), static_cast<unsigned long long>(message.size()),
                                          cle.cle.data());
    }
    if (bon != 0)
        throw Echec("signature : ne correspond pas au contenu signé");

    const QByteArray commentaire = l[2].mid(qsizetype(sizeof prefixefiable) - 1);
    const QByteArray globale = debase64(l[3], crypto_sign_BYTES, "signature globale");
    const QByteArray signe = sig.mid(10) + commentaire;
    if (crypto_sign_verify_detached(octets(globale), octets(signe), static_cast<unsigned long long>(signe.size()),
                                    cle.cle.data())
        != 0)
        throw Echec("signature globale : ne correspond pas au commentaire de confiance");
    return QString::fromUtf8(commentaire);
}

QString clenom(const QString& nom)
{
    QString n = nom;
    n.replace(u'\\', u'/');
    QStringList parties;
    for (const QString& p : n.split(u'/', Qt::SkipEmptyParts)) {
        if (p != u".")
            parties << p;
    }
    return parties.join(u'/').toCaseFolded();
}

Manifeste Manifeste::lire(const QByteArray& contenu)
{
    if (contenu.size() > taillemaxmanifeste)
        throw Echec("manifeste : fichier trop long");
    Manifeste m;
    int numero = 0;
    for (const QByteArray& ligne : lignes(contenu, "manifeste")) {
        ++numero;
        const std::string ou = "manifeste, ligne " + std::to_string(numero);
        if (ligne.size() < 64 + 2 + 1 || ligne[64] != ' ' || (ligne[65] != ' ' && ligne[65] != '*'))
            throw Echec(ou + " : « empreinte  nom » attendu");
        Empreinte e{};
        for (std::size_t i = 0; i < e.size(); ++i) {
            const int fort = valeurhex(ligne[qsizetype(2 * i)]);
            const int faible = valeurhex(ligne[qsizetype(2 * i + 1)]);
            if (fort < 0 || faible < 0)
                throw Echec(ou + " : empreinte non hexadécimale");
            e[i] = static_cast<std::uint8_t>(fort * 16 + faible);
        }
        QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
        const QString nom = utf8.decode(ligne.mid(66));
        if (utf8.hasError())
            throw Echec(ou + " : nom en UTF-8 invalide");
        for (const QChar c : nom) {
            if (c != u'\\' && caractererefuse(c))
                throw Echec(ou + " : caractère refusé dans le nom");
        }
        const QString cle = clenom(nom);
        if (cle.isEmpty())
            throw Echec(ou + " : nom vide");
        if (m.empreintes_.contains(cle))
            throw Echec(ou + " : nom déjà donné : " + texte(nom));
        m.empreintes_.insert(cle, e);
    }
    return m;
}

bool Manifeste::contient(const QString& nom) const
{
    return empreintes_.contains(clenom(nom));
}

Empreinte Manifeste::empreinte(const QString& nom) const
{
    const auto it = empreintes_.constFind(clenom(nom));
    if (it == empreintes_.cend())
        throw Echec("manifeste : ne nomme pas " + texte(nom));
    return *it;
}

Manifeste manifesteprouve(const ClePublique& cle, const QByteArray& manifeste, const QByteArray& signature)
{
    if (manifeste.size() > taillemaxmanifeste)
        throw Echec("manifeste : fichier trop long");
    verifiersignature(cle, manifeste, signature);
    return Manifeste::lire(manifeste);
}

Empreinte sha256fd(int fd)
{
    initialisersodium();
    crypto_hash_sha256_state etat;
    crypto_hash_sha256_init(&etat);
    std::array<unsigned char, 64 * 1024> bloc;
    for (;;) {
        const ssize_t n = ::read(fd, bloc.data(), bloc.size());
        if (n < 0) {
            if (errno == EINTR)
                continue;
            throw Echec(std::string("empreinte : lecture impossible : ") + std::strerror(errno));
        }
        if (n == 0)
            break;
        crypto_hash_sha256_update(&etat, bloc.data(), static_cast<unsigned long long>(n));
    }
    Empreinte e{};
    crypto_hash_sha256_final(&etat, e.data());
    return e;
}

void verifierfichier(const Manifeste& manifeste, const QString& nom, int fd)
{
    const Empreinte attendue = manifeste.empreinte(nom);
    if (::lseek(fd, 0, SEEK_SET) < 0)
        throw Echec(std::string("empreinte : retour au début impossible : ") + std::strerror(errno));
    const Empreinte lue = sha256fd(fd);
    if (sodium_memcmp(lue.data(), attendue.data(), lue.size()) != 0)
        throw Echec("empreinte : " + texte(nom) + " ne correspond pas au manifeste");
}

QByteArray lireborne(int fd, qint64 max)
{
    QByteArray contenu;
    char bloc[4096];
    for (;;) {
        const ssize_t n = ::read(fd, bloc, sizeof bloc);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            throw Echec(std::string("lecture impossible : ") + std::strerror(errno));
        }
        if (n == 0)
            return contenu;
        if (contenu.size() + n > max)
            throw Echec("fichier de plus de " + std::to_string(max) + " octets");
        contenu.append(bloc, n);
    }
}

QByteArray lireordinaire(int fd, qint64 max)
{
    struct stat etat {};
    if (::fstat(fd, &etat) != 0)
        throw Echec(std::strerror(errno));
    if (!S_ISREG(etat.st_mode))
        throw Echec("n'est pas un fichier");
    return lireborne(fd, max);
}

QByteArray lirefichierborne(const QString& chemin, qint64 max)
{
    const Descripteur fd(::open(QFile::encodeName(chemin).constData(), O_RDONLY | O_CLOEXEC));
    if (fd.fd() < 0)
        throw Echec("ouverture impossible de " + texte(chemin) + " : " + std::strerror(errno));
    return lireborne(fd.fd(), max);
}

} // namespace velorine
