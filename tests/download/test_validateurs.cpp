// The transfer engine's validators, conditional fetches and the rest of a
// file, against real servers on loopback.

#include "dossiers.h"
#include "serveurs.h"
#include "platform/transfertcurl.h"

#include <QDateTime>
#include <QDeadlineTimer>
#include <QFileInfo>
#include <QThread>
#include <gtest/gtest.h>
#include <string>
#include <vector>
#include <fcntl.h>
#include <sys/stat.h>

using namespace velorine;
using namespace velorine::test;

namespace {

// Records what the engine tells it, in order; asks what the test says.
class PuitsTemoin : public Puits {
public:
    void ecrire(const char* octets, std::size_t nombre) override
    {
        if (ordre.empty() || ordre.back() != "ecrire")
            ordre.push_back("ecrire");
        contenu.append(octets, static_cast<qsizetype>(nombre));
        ++appels;
    }
    void recommencer() override
    {
        ordre.push_back("recommencer");
        contenu.clear();
    }
    Requete requete() const override
    {
        ++demandes;
        return demande;
    }
    void validateurs(const Validateurs& v) override
    {
        ordre.push_back("validateurs");
        vus.push_back(v);
    }
    void inchange() override { ordre.push_back("inchange"); }

    Requete demande;
    QByteArray contenu;
    int appels = 0;
    mutable int demandes = 0;
    std::vector<Validateurs> vus;
    std::vector<std::string> ordre;
};

// Sets a file's modification date, in seconds since 1970.
void dater(const QString& chemin, long long secondes)
{
    const struct timespec t[2] = {{static_cast<time_t>(secondes), 0}, {static_cast<time_t>(secondes), 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, QFile::encodeName(chemin).constData(), t, 0), 0);
}

constexpr long long datefichier = 1700000000; // 14 November 2023

class Validation : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dossier.isValid());
        contenu = donnees(300000, 1);
        ecrire(contenu);
    }
    void ecrire(const QByteArray& octets, long long date = datefichier)
    {
        ecrirefichier(chemin(), octets);
        dater(chemin(), date);
    }
    QString chemin() const { return dossier.filePath(QStringLiteral("b.bin")); }

    QString fetch(const QString& adresse, Puits& puits)
    {
        try {
            transfert.ouvrirurl(adresse, Provenance::Liste, puits, suivi);
            return QString();
        } catch (const EchecPuits& e) {
            return QStringLiteral("puits: ") + QString::fromUtf8(e.what());
        } catch (const Echec& e) {
            return QString::fromUtf8(e.what());
        }
    }

    // The validators the server gives for adresse now.
    Validateurs actuels(const QString& adresse)
    {
        PuitsTemoin p;
        EXPECT_EQ(fetch(adresse, p), QString());
        EXPECT_EQ(p.vus.size(), 1U);
        return p.vus.empty() ? Validateurs{} : p.vus.front();
    }

    // A sink that holds the first debut bytes of the file and asks the rest.
    static void suite(PuitsTemoin& p, const QByteArray& octets, long long debut, const Validateurs& si)
    {
        p.contenu = octets.left(debut);
        p.demande.debut = debut;
        p.demande.si = si;
    }

    // Asks adresse for the rest of the file from byte 100000 under si: the
    // whole of nouveau arrives instead, after the sink started over.
    void arriveentier(const QString& adresse, const Validateurs& si, const QByteArray& nouveau)
    {
        PuitsTemoin p;
        suite(p, contenu, 100000, si);
        ASSERT_EQ(fetch(adresse, p), QString());
        EXPECT_EQ(p.contenu, nouveau);
        EXPECT_EQ(p.ordre, (std::vector<std::string>{"recommencer", "validateurs", "ecrire"}));
        EXPECT_EQ(recus, nouveau.size());
        EXPECT_EQ(total, nouveau.size());
    }

    QTemporaryDir dossier;
    QByteArray contenu;
    TransfertCurl transfert{20};
    long long recus = -2;
    long long total = -2;
    struct Suivi : SuiviTransfert {
        Validation& v;
        explicit Suivi(Validation& t) : v(t) {}
        void progression(long long r, long long t) override
        {
            v.recus = r;
            v.total = t;
        }
    } suivi{*this};
};

TEST_F(Validation, LesValidateursDuServeurSontDitsAvantLePremierOctet)
{
    ServeurHttp serveur(dossier.path());
    ASSERT_TRUE(serveur.pret()) << qPrintable(serveur.erreur());
    ServeurFtp ftp(dossier.path());
    ASSERT_TRUE(ftp.pret()) << qPrintable(ftp.erreur());
    ecrirefichier(dossier.filePath(QStringLiteral("vide.bin")), QByteArray());
    dater(dossier.filePath(QStringLiteral("vide.bin")), datefichier);
    struct Cas {
        QString adresse;
        bool etag;
        bool plages;
        long long longueur;
    };
    const std::vector<Cas> cas{
        {serveur.url(QStringLiteral("/b.bin")), true, true, contenu.size()},
        {serveur.url(QStringLiteral("/redirige?vers=/b.bin")), true, true, contenu.size()},
        {serveur.url(QStringLiteral("/sansetag/b.bin")), false, true, contenu.size()},
        {serveur.url(QStringLiteral("/sansplages/b.bin")), true, false, contenu.size()},
        {serveur.url(QStringLiteral("/vide.bin")), true, true, 0},
        {ftp.url(QStringLiteral("/b.bin")), false, true, contenu.size()},
        {ftp.url(QStringLiteral("/vide.bin")), false, true, 0},
    };
    for (const Cas& c : cas) {
        SCOPED_TRACE(c.adresse.toStdString());
        PuitsTemoin p;
        ASSERT_EQ(fetch(c.adresse, p), QString());
        ASSERT_EQ(p.vus.size(), 1U);
        EXPECT_EQ(p.ordre.front(), "validateurs");
        const Validateurs& v = p.vus.front();
        EXPECT_EQ(v.etag.startsWith('"') && v.etag.endsWith('"'), c.etag) << v.etag.constData();
        EXPECT_EQ(v.datemodif, datefichier);
        EXPECT_EQ(v.longueur, c.longueur);
        EXPECT_EQ(v.plages, c.plages);
        EXPECT_EQ(p.demandes, 1);
    }
    // An error page or a generated body without validators tells none.
    PuitsTemoin erreur;
    EXPECT_NE(fetch(serveur.url(QStringLiteral("/absent.bin")), erreur), QString());
    EXPECT_TRUE(erreur.vus.empty());
    PuitsTemoin genere;
    EXPECT_EQ(fetch(serveur.url(QStringLiteral("/gros/1000")), genere), QString());
    ASSERT_EQ(genere.vus.size(), 1U);
    EXPECT_EQ(genere.vus.front(), (Validateurs{{}, -1, 1000, false}));
}

// The rest of a file, asked under the tag or, without one, the date: the
// part is appended, and the progress counts the whole file.
TEST_F(Validation, LaSuiteDUnFichierInchangeEstAjoutee)
{
    ServeurHttp serveur(dossier.path(), {QStringLiteral("--compte")});
    ASSERT_TRUE(serveur.pret());
    for (const QString& chemin : {QStringLiteral("/b.bin"), QStringLiteral("/sansetag/b.bin")}) {
        SCOPED_TRACE(chemin.toStdString());
        const Validateurs si = actuels(serveur.url(chemin));
        PuitsTemoin p;
        suite(p, contenu, 100000, si);
        ASSERT_EQ(fetch(serveur.url(chemin), p), QString());
        EXPECT_EQ(p.contenu, contenu);
        EXPECT_EQ(p.ordre, (std::vector<std::string>{"validateurs", "ecrire"}));
        ASSERT_EQ(p.vus.size(), 1U);
        EXPECT_EQ(p.vus.front().longueur, contenu.size());
        EXPECT_TRUE(p.vus.front().plages);
        EXPECT_EQ(recus, contenu.size());
        EXPECT_EQ(total, contenu.size());
    }
    // The server tells the bytes sent once the body has gone, which may be
    // after the fetch has ended.
    QDeadlineTimer limite(10000);
    while (serveur.journal().count(QStringLiteral("ENVOYE /b.bin 200000")) < 2 && !limite.hasExpired())
        QThread::msleep(20);
    const QStringList journal = serveur.journal();
    const Validateurs si = actuels(serveur.url(QStringLiteral("/b.bin")));
    EXPECT_TRUE(journal.contains(QStringLiteral("PLAGE /b.bin bytes=100000- SI ") + QString::fromLatin1(si.etag)))
        << journal.join(u'\n').toStdString();
    EXPECT_TRUE(journal.contains(QStringLiteral("PLAGE /b.bin bytes=100000- SI Tue, 14 Nov 2023 22:13:20 GMT")));
    EXPECT_EQ(journal.count(QStringLiteral("ENVOYE /b.bin 200000")), 2);
    EXPECT_EQ(journal.count(QStringLiteral("STATUT /b.bin 206")), 2);
}

// A file that changed, or a server that serves no ranges, sends the whole
// file: the sink starts over before its first byte.
TEST_F(Validation, UnFichierChangeArriveEntierApresUnNouveauDepart)
{
    ServeurHttp serveur(dossier.path());
    ASSERT_TRUE(serveur.pret());
    const Validateurs ancien = actuels(serveur.url(QStringLiteral("/b.bin")));
    Validateurs sansetag = ancien;
    sansetag.etag.clear();
    const QByteArray nouveau = donnees(250000, 2);
    ecrire(nouveau, datefichier + 60);
    struct Cas {
        QString chemin;
        Validateurs si;
    };
    const std::vector<Cas> cas{
        {QStringLiteral("/b.bin"), ancien},            // If-Range with the old tag
        {QStringLiteral("/sansetag/b.bin"), sansetag}, // If-Range with the old date
        {QStringLiteral("/b.bin"), Validateurs{}},     // nothing to vouch for a part: no Range
    };
    for (const Cas& c : cas) {
        SCOPED_TRACE(c.chemin.toStdString());
        arriveentier(serveur.url(c.chemin), c.si, nouveau);
    }
    // Changed within the same second: the date vouches for the part, its
    // total does not match the length the sink holds the start of.
    const QByteArray memedate = donnees(260000, 6);
    ecrire(memedate, datefichier + 60);
    {
        PuitsTemoin p;
        suite(p, nouveau, 100000, Validateurs{{}, datefichier + 60, nouveau.size(), true});
        ASSERT_EQ(fetch(serveur.url(QStringLiteral("/sansetag/b.bin")), p), QString());
        EXPECT_EQ(p.contenu, memedate);
        EXPECT_EQ(p.ordre, (std::vector<std::string>{"recommencer", "validateurs", "ecrire"}));
    }
    // A server that ignores ranges.
    PuitsTemoin p;
    suite(p, memedate, 100000, actuels(serveur.url(QStringLiteral("/b.bin"))));
    ASSERT_EQ(fetch(serveur.url(QStringLiteral("/sansplages/b.bin")), p), QString());
    EXPECT_EQ(p.contenu, memedate);
    EXPECT_EQ(p.ordre.front(), "recommencer");
    EXPECT_EQ(serveur.journal().filter(QStringLiteral("PLAGE")).size(), 4);
}

// A partial answer that is not the rest asked for fails the fetch before
// anything reaches the sink.
TEST_F(Validation, UneReponsePartielleMensongereEstRefusee)
{
    ServeurHttp serveur(dossier.path());
    ASSERT_TRUE(serveur.pret());
    const Validateurs si = actuels(serveur.url(QStringLiteral("/b.bin")));
    struct Cas {
        QString chemin;
        long long debut;
    };
    const std::vector<Cas> cas{
        {QStringLiteral("/faux206/debut/b.bin"), 100000}, {QStringLiteral("/faux206/total/b.bin"), 100000},
        {QStringLiteral("/faux206/multi/b.bin"), 100000}, {QStringLiteral("/faux206/longueur/b.bin"), 100000},
        {QStringLiteral("/b.bin"), contenu.size() + 5}, // 416
    };
    for (const Cas& c : cas) {
        SCOPED_TRACE(c.chemin.toStdString());
        PuitsTemoin p;
        suite(p, contenu, c.debut, si);
        const QByteArray avant = p.contenu;
        EXPECT_NE(fetch(serveur.url(c.chemin), p), QString());
        EXPECT_EQ(p.appels, 0);
        EXPECT_EQ(p.contenu, avant);
        EXPECT_TRUE(p.vus.empty());
    }
}

// A server that ignores If-Range answers the rest's request with a part of
// whatever file it holds now. The part is taken only when the answer names
// the file as the record does (its strong tag, else its date); a file of the
// same length replaced under it arrives whole, never spliced onto the start
// of the old one.
TEST_F(Validation, LaSuiteDUnAutreFichierNEstJamaisCollee)
{
    ServeurHttp serveur(dossier.path(), {QStringLiteral("--compte")});
    ASSERT_TRUE(serveur.pret());
    const Validateurs ancien = actuels(serveur.url(QStringLiteral("/b.bin")));
    ASSERT_FALSE(ancien.etag.isEmpty());
    Validateurs anciennedate = ancien;
    anciennedate.etag.clear();

    // Unchanged: the part is the rest of the file, and is taken.
    for (const auto& [chemin, si] : {std::pair{QStringLiteral("/ignoresi/etag/b.bin"), ancien},
                                     std::pair{QStringLiteral("/ignoresi/date/b.bin"), anciennedate}}) {
        SCOPED_TRACE(chemin.toStdString());
        PuitsTemoin p;
        suite(p, contenu, 100000, si);
        ASSERT_EQ(fetch(serveur.url(chemin), p), QString());
        EXPECT_EQ(p.contenu, contenu);
        EXPECT_EQ(p.ordre, (std::vector<std::string>{"validateurs", "ecrire"}));
    }

    // Replaced by a file of the same length, with another date.
    const QByteArray nouveau = donnees(contenu.size(), 7);
    ecrire(nouveau, datefichier + 60);
    struct Cas {
        QString chemin;
        Validateurs si;
    };
    const std::vector<Cas> cas{
        {QStringLiteral("/ignoresi/etag/b.bin"), ancien},        // another tag in the 206
        {QStringLiteral("/ignoresi/date/b.bin"), anciennedate},  // another date in the 206
        {QStringLiteral("/ignoresi/date/b.bin"), ancien},        // the tag recorded, none in the 206
        {QStringLiteral("/ignoresi/aucun/b.bin"), anciennedate}, // no validator at all in the 206
    };
    for (const Cas& c : cas) {
        SCOPED_TRACE(c.chemin.toStdString() + (c.si.etag.isEmpty() ? " (date)" : " (balise)"));
        arriveentier(serveur.url(c.chemin), c.si, nouveau);
    }
    EXPECT_EQ(serveur.journal().filter(QStringLiteral("STATUT /b.bin 206")).size(), 6);
}

// A conditional fetch of a file that did not change gets no body; one that
// changed gets the whole file.
TEST_F(Validation, UnFichierInchangeNEstPasRenvoye)
{
    ServeurHttp serveur(dossier.path());
    ASSERT_TRUE(serveur.pret());
    ServeurFtp ftp(dossier.path());
    ASSERT_TRUE(ftp.pret());
    for (const QString& adresse : {serveur.url(QStringLiteral("/b.bin")),
                                   serveur.url(QStringLiteral("/sansetag/b.bin")), ftp.url(QStringLiteral("/b.bin"))}) {
        SCOPED_TRACE(adresse.toStdString());
        const Validateurs si = actuels(adresse);
        PuitsTemoin p;
        p.demande.sichange = true;
        p.demande.si = si;
        ASSERT_EQ(fetch(adresse, p), QString());
        EXPECT_EQ(p.appels, 0);
        EXPECT_EQ(p.ordre, (std::vector<std::string>{"validateurs", "inchange"}));
        ASSERT_EQ(p.vus.size(), 1U);
        EXPECT_EQ(p.vus.front(), si);
    }
    EXPECT_EQ(serveur.journal().filter(QStringLiteral("STATUT /b.bin 304")).size(), 2);

    // Changed: a new date, or (FTP) the same date and another length.
    const Validateurs http = actuels(serveur.url(QStringLiteral("/b.bin")));
    const Validateurs parftp = actuels(ftp.url(QStringLiteral("/b.bin")));
    const QByteArray nouveau = donnees(200000, 3);
    ecrire(nouveau, datefichier + 3600);
    Validateurs autrelongueur = parftp;
    autrelongueur.longueur = nouveau.size() + 1;
    struct Cas {
        QString adresse;
        Validateurs si;
    };
    const std::vector<Cas> cas{{serveur.url(QStringLiteral("/b.bin")), http},
                               {ftp.url(QStringLiteral("/b.bin")), parftp},
                               {ftp.url(QStringLiteral("/b.bin")), Validateurs{}}};
    for (const Cas& c : cas) {
        SCOPED_TRACE(c.adresse.toStdString());
        PuitsTemoin p;
        p.demande.sichange = true;
        p.demande.si = c.si;
        ASSERT_EQ(fetch(c.adresse, p), QString());
        EXPECT_EQ(p.contenu, nouveau);
        EXPECT_EQ(p.ordre, (std::vector<std::string>{"validateurs", "ecrire"}));
    }
    ecrire(nouveau, datefichier);
    autrelongueur.datemodif = datefichier;
    PuitsTemoin p;
    p.demande.sichange = true;
    p.demande.si = autrelongueur;
    ASSERT_EQ(fetch(ftp.url(QStringLiteral("/b.bin")), p), QString());
    EXPECT_EQ(p.contenu, nouveau);
}

// FTP: the rest of a file whose date is the one the sink holds the start
// of; the whole file when its date changed or it became shorter.
TEST_F(Validation, FtpReprendUnFichierALaMemeDate)
{
    ServeurFtp ftp(dossier.path());
    ASSERT_TRUE(ftp.pret());
    const QString adresse = ftp.url(QStringLiteral("/b.bin"));
    const Validateurs si = actuels(adresse);

    PuitsTemoin p;
    suite(p, contenu, 100000, si);
    ASSERT_EQ(fetch(adresse, p), QString());
    EXPECT_EQ(p.contenu, contenu);
    EXPECT_EQ(p.ordre, (std::vector<std::string>{"validateurs", "ecrire"}));
    ASSERT_EQ(p.vus.size(), 1U);
    EXPECT_EQ(p.vus.front().longueur, contenu.size());
    EXPECT_EQ(recus, contenu.size());
    EXPECT_EQ(total, contenu.size());

    const QByteArray nouveau = donnees(250000, 4);
    ecrire(nouveau, datefichier + 60);
    PuitsTemoin change;
    suite(change, contenu, 100000, si);
    ASSERT_EQ(fetch(adresse, change), QString());
    EXPECT_EQ(change.contenu, nouveau);
    EXPECT_EQ(change.ordre, (std::vector<std::string>{"recommencer", "validateurs", "ecrire"}));
    EXPECT_EQ(change.demandes, 1);

    const QByteArray court = donnees(5000, 5);
    ecrire(court, datefichier);
    PuitsTemoin raccourci;
    suite(raccourci, contenu, 100000, si);
    ASSERT_EQ(fetch(adresse, raccourci), QString());
    EXPECT_EQ(raccourci.contenu, court);
}

// A fetch cut at the middle of a file, then the rest asked for: the server
// sends only the rest.
TEST_F(Validation, UnTransfertCoupeSeFinitParLaSuite)
{
    ServeurHttp serveur(dossier.path(), {QStringLiteral("--compte")});
    ASSERT_TRUE(serveur.pret());
    PuitsTemoin p;
    EXPECT_NE(fetch(serveur.url(QStringLiteral("/coupeunefois/b.bin")), p), QString());
    ASSERT_EQ(p.vus.size(), 1U);
    const long long recu = p.contenu.size();
    EXPECT_GT(recu, 0);
    EXPECT_LE(recu, contenu.size() / 2);

    PuitsTemoin reprise;
    suite(reprise, p.contenu, recu, p.vus.front());
    ASSERT_EQ(fetch(serveur.url(QStringLiteral("/coupeunefois/b.bin")), reprise), QString());
    EXPECT_EQ(reprise.contenu, contenu);
    EXPECT_TRUE(serveur.attendre(QStringLiteral("ENVOYE /b.bin %1").arg(contenu.size() - recu)))
        << serveur.journal().join(u'\n').toStdString();
}

// The handle serves fetch after fetch: what one fetch asked is not asked by
// the next.
TEST_F(Validation, LesEntetesDUnTransfertNePassentPasAuSuivant)
{
    ServeurHttp serveur(dossier.path(), {QStringLiteral("--keepalive")});
    ASSERT_TRUE(serveur.pret());
    const Validateurs si = actuels(serveur.url(QStringLiteral("/b.bin")));
    PuitsTemoin partie;
    suite(partie, contenu, 1000, si);
    partie.demande.sichange = false;
    ASSERT_EQ(fetch(serveur.url(QStringLiteral("/b.bin")), partie), QString());
    PuitsTemoin condition;
    condition.demande.sichange = true;
    condition.demande.si = si;
    ASSERT_EQ(fetch(serveur.url(QStringLiteral("/b.bin")), condition), QString());
    PuitsTemoin simple;
    ASSERT_EQ(fetch(serveur.url(QStringLiteral("/b.bin")), simple), QString());
    EXPECT_EQ(simple.contenu, contenu);
    const QStringList journal = serveur.journal();
    EXPECT_EQ(journal.filter(QStringLiteral("PLAGE")).size(), 1);
    EXPECT_EQ(journal.filter(QStringLiteral("CONDITION")).size(), 1);
    EXPECT_EQ(journal.count(QStringLiteral("CONNEXION")), 1) << journal.join(u'\n').toStdString();
}

// Validators read back from a record are not trusted: a tag that would
// inject a header is not sent.
TEST_F(Validation, UneBaliseMalFormeeNEstPasEnvoyee)
{
    ServeurHttp serveur(dossier.path());
    ASSERT_TRUE(serveur.pret());
    PuitsTemoin p;
    p.demande.sichange = true;
    p.demande.si.etag = "\"x\"\r\nX-Injecte: 1";
    ASSERT_EQ(fetch(serveur.url(QStringLiteral("/b.bin")), p), QString());
    EXPECT_EQ(p.contenu, contenu);
    EXPECT_TRUE(serveur.journal().filter(QStringLiteral("CONDITION")).isEmpty());
}

} // namespace
