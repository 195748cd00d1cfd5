// The three steps of the automatic update (the list download, the list, the
// update run) with the real transfer engine against a loopback HTTP server,
// real files in a product folder, and a scripted download window.

#include "dossiers.h"
#include "impression.h"
#include "download/etapes.h"
#include "faux.h"
#include "download/controleurfeuille.h"
#include "serveurs.h"
#include "platform/transfertcurl.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QTimer>
#include <gtest/gtest.h>
#include <functional>
#include <memory>

using namespace velorine;
using namespace velorine::test;

namespace {

// What the download window shows, recorded: its list, its file counters,
// the bytes its bar was last told.
class VueTest : public VueFeuille {
public:
    QStringList List1() const override { return liste; }
    void viderList1() override { liste.clear(); }
    void ajouterList1(const QString& entree) override { liste.append(entree); }
    void Label1(const QString& texte) override { legendes.append(texte); }
    void progression(long long recus, long long total) override
    {
        dernierrecus = recus;
        derniertotal = total;
        if (surprogression)
            surprogression(recus, total);
    }
    void finprogression() override { ++finsprogression; }

    QStringList liste;
    QStringList legendes;
    long long dernierrecus = -2;
    long long derniertotal = -2;
    int finsprogression = 0;
    std::function<void(long long recus, long long total)> surprogression;
};

// The download controller, counting what the steps ask of the window.
class FenetreTest : public ControleurFeuille {
public:
    using ControleurFeuille::ControleurFeuille;

    void couper() override
    {
        ++coupures;
        ControleurFeuille::couper();
    }
    void decharger() override
    {
        ++dechargements;
        ControleurFeuille::decharger();
    }
    [[noreturn]] void choixannuler() override
    {
        ++choix;
        ControleurFeuille::choixannuler();
    }

    int coupures = 0;
    int dechargements = 0;
    int choix = 0;
};

const QString marque = QStringLiteral("MAJQZ7INTERNET");

Boite erreur(const QString& titre, const QString& texte)
{
    return Boite{Icone::Erreur, titre, texte};
}
Boite information(const QString& titre, const QString& texte)
{
    return Boite{Icone::Information, titre, texte};
}
// Boxes as lines "icon|title|text", for readable comparisons.
std::vector<std::string> lignes(const std::vector<Boite>& boites)
{
    std::vector<std::string> r;
    for (const Boite& b : boites) {
        const char* icone = b.icone == Icone::Erreur        ? "erreur"
                            : b.icone == Icone::Information ? "information"
                                                            : "question";
        r.push_back(std::string(icone) + "|" + b.titre.toStdString() + "|" + b.texte.toStdString());
    }
    return r;
}

const Boite termine5 = information("Actualisation terminée.", "Vous disposez maintenant de la version 5");
const Boite telechargementimpossible = erreur("Mise à jour impossible", "Téléchargement impossible");
const Boite ecritureimpossible = erreur("Mise à jour impossible", "Ecriture sur disque impossible");
const Boite pasdeliste = erreur("Actualisation impossible", "Pas de fichier téléchargé");

// A product folder, a web folder served over loopback, the engine, the
// fakes and the window: one attempt of the automatic update.
struct Banc {
    Banc()
    {
        produit = racine.filePath(QStringLiteral("produit"));
        web = racine.filePath(QStringLiteral("web"));
        QDir().mkpath(produit);
        QDir().mkpath(web);
        serveur = std::make_unique<ServeurHttp>(web);
        etat.dossierproduit = produit;
        niveau(QStringLiteral(" 2"));
        ecrirefichier(chemin(QStringLiteral("PARANET.LST")),
                      fichierenregistrements({"", "", "", "", "", "", url(QStringLiteral("/LISTE.MAJ"))}));
        for (int n : {0, 1, 2, 3, 4, 5, 6, 7})
            ecrirefichier(web + QStringLiteral("/f%1.dat").arg(n), contenu(n));
    }

    bool pret() const { return racine.isValid() && serveur->pret(); }
    QString url(const QString& chemin) const { return serveur->url(chemin); }
    QString chemin(const QString& nom) const { return produit + u'/' + nom; }
    static QByteArray contenu(int n) { return QByteArray("Niveau ") + QByteArray::number(n) + "\n"; }

    // TEMPO.QZS: record 1 belongs to the product, record 24 holds the level.
    void niveau(const QString& texte)
    {
        QStringList enregs(24);
        enregs[0] = QStringLiteral("reglages du produit");
        enregs[23] = texte;
        ecrirefichier(chemin(QStringLiteral("TEMPO.QZS")), fichierenregistrements(enregs));
    }
    QByteArray tempo() const { return lirefichier(chemin(QStringLiteral("TEMPO.QZS"))); }
    QString niveaulu() const
    {
        const QByteArray r = tempo().mid(23 * 128, 128);
        return QString::fromLatin1(r.mid(2, static_cast<unsigned char>(r[0])));
    }

    // The update list the server offers: the marker, then these entries.
    void liste(const QStringList& entrees)
    {
        ecrirefichier(web + QStringLiteral("/LISTE.MAJ"), fichierenregistrements(QStringList{marque} + entrees));
    }
    // One group per level, fetching f<level>.dat into LECON<level>.DAT.
    QStringList groupes(const QStringList& niveaux) const
    {
        QStringList entrees;
        for (const QString& n : niveaux) {
            const QString i = n.trimmed();
            entrees << n << url(QStringLiteral("/f%1.dat").arg(i)) << QStringLiteral("LECON%1.DAT").arg(i);
        }
        return entrees;
    }

    // The window shown by the chooser: load, then activation. True when the
    // run handed control back to the product.
    bool activer()
    {
        etat.abandon = false;
        try {
            if (!fenetre.charger())
                return false;
            fenetre.activer();
        } catch (const FinProcessus&) {
            return true;
        }
        return false;
    }

    // The payload requests the server received, in order.
    QStringList demandes() const
    {
        QStringList r;
        for (const QString& l : serveur->journal()) {
            if (l != u"GET /LISTE.MAJ")
                r << l;
        }
        return r;
    }

    bool relance() const { return faux.coquille.demarres.size() == 1 && faux.coquille.terminaisons == 1; }

    QTemporaryDir racine;
    QString produit;
    QString web;
    std::unique_ptr<ServeurHttp> serveur;
    TransfertCurl transfert;
    Faux faux;
    Services services = [this] {
        faux.transfert = &transfert;
        return faux.services();
    }();
    Etat etat;
    EtapesInternet etapes;
    VueTest vue;
    FenetreTest fenetre{etat, services, etapes, vue};
};

class Etapes : public ::testing::Test, protected Banc {
protected:
    void SetUp() override { ASSERT_TRUE(pret()) << qPrintable(serveur->erreur()); }
};

TEST_F(Etapes, LesNiveauxPlusRecentsSontTelechargesDansLOrdreEtLePlusHautEstInscrit)
{
    liste(groupes({" 3", " 5", " 4"}));
    EXPECT_TRUE(activer());
    EXPECT_EQ(demandes(), (QStringList{"GET /f3.dat", "GET /f5.dat", "GET /f4.dat"}));
    EXPECT_EQ(vue.legendes,
              (QStringList{"Transfert du fichier 1 / 3", "Transfert du fichier 2 / 3", "Transfert du fichier 3 / 3"}));
    for (int n : {3, 4, 5})
        EXPECT_EQ(lirefichier(chemin(QStringLiteral("LECON%1.DAT").arg(n))), contenu(n));
    EXPECT_EQ(niveaulu(), QStringLiteral(" 5"));
    EXPECT_EQ(tempo().left(128), enregistrement("reglages du produit"));
    EXPECT_EQ(lignes(faux.dialogues.boites), lignes({termine5}));
    EXPECT_EQ(fenetre.coupures, 1);
    EXPECT_EQ(fenetre.choix, 1);
    EXPECT_TRUE(relance());
    EXPECT_EQ(faux.coquille.demarres.front(), chemin(QStringLiteral("VELORINE.EXE")));
    EXPECT_EQ(fenetre.dechargements, 0);
    // The process ends without the window's closing: the list stays.
    EXPECT_TRUE(QFileInfo::exists(chemin(QStringLiteral("LISTE.MAJ"))));
    // The load, the list and each file yield once.
    EXPECT_EQ(faux.boucle.cessions, 5);
    // The window's bar followed each of the four fetches.
    EXPECT_EQ(vue.finsprogression, 4);
    EXPECT_EQ(vue.dernierrecus, contenu(4).size());
    EXPECT_EQ(vue.derniertotal, contenu(4).size());
}

TEST_F(Etapes, SeulsLesGroupesPlusRecentsSontTelecharges)
{
    liste(groupes({" 1", " 4"}));
    EXPECT_TRUE(activer());
    EXPECT_EQ(demandes(), QStringList{"GET /f4.dat"});
    EXPECT_EQ(vue.legendes, QStringList{"Transfert du fichier 1 / 1"});
    EXPECT_EQ(niveaulu(), QStringLiteral(" 4"));
    EXPECT_FALSE(QFileInfo::exists(chemin(QStringLiteral("LECON1.DAT"))));
    EXPECT_EQ(lignes(faux.dialogues.boites),
              lignes({information("Actualisation terminée.", "Vous disposez maintenant de la version 4")}));
}

TEST_F(Etapes, UnProduitAJourNEstPasTouche)
{
    liste(groupes({" 1", " 2"}));
    const QByteArray avant = tempo();
    EXPECT_TRUE(activer());
    EXPECT_EQ(demandes(), QStringList());
    EXPECT_EQ(tempo(), avant);
    EXPECT_EQ(lignes(faux.dialogues.boites),
              lignes({information("Pas d'actualisation", "Vous disposez déjà de la dernière version en date.")}));
    EXPECT_EQ(fenetre.coupures, 1);
    EXPECT_EQ(fenetre.choix, 1);
    EXPECT_TRUE(relance());
    EXPECT_FALSE(etat.abandon); // the chooser's entry 2 cleared it
}

// The dial-up question comes once, from the run, before the product starts.
TEST_F(Etapes, LaFermetureDUneConnexionOuverteEstProposee)
{
    liste(groupes({" 5"}));
    faux.numerotation.connectee = true;
    faux.dialogues.reponses = {true};
    EXPECT_TRUE(activer());
    EXPECT_EQ(lignes(faux.dialogues.boites),
              lignes({termine5, Boite{Icone::Question, "Navigation terminée", "Voulez-vous fermer la connexion ?"}}));
    EXPECT_EQ(faux.numerotation.raccrochages, 1);
}

TEST(EtapesNiveaux, LesNiveauxSuiventLaRegleDuNombreEnTete)
{
    struct Cas {
        std::vector<std::pair<QString, int>> niveaux; // entry, file fetched
        QStringList demandes;
        QString enregistre;                    // "" when nothing is newer
        QString actuel = QStringLiteral(" 2"); // record 24 before the run
    };
    const std::vector<Cas> cas{
        {{{" 3", 3}}, {"GET /f3.dat"}, " 3"},
        {{{"3", 3}}, {"GET /f3.dat"}, " 3"},
        {{{"3abc", 3}}, {"GET /f3.dat"}, " 3"},
        {{{"niveau 3", 3}}, {}, ""},           // no number: level 0
        {{{"2.4", 2}}, {"GET /f2.dat"}, " 2"}, // newer, but recorded as 2
        {{{"2.5", 2}}, {"GET /f2.dat"}, " 2"}, // halves go to the even neighbour
        {{{"3.5", 4}}, {"GET /f4.dat"}, " 4"},
        {{{"40000", 7}, {"3", 3}}, {"GET /f7.dat", "GET /f3.dat"}, " 3"}, // 40000 does not fit
        {{{"-1", 1}, {"1", 1}}, {}, ""},
        // The recorded level never goes below the current one, nor below 0.
        {{{"40000", 7}}, {"GET /f7.dat"}, " 2"},
        {{{"40000", 7}}, {"GET /f7.dat"}, " 3", " 3"},
        {{{"40000", 7}}, {"GET /f7.dat"}, " 0", "-3"},
        {{{"-2", 2}, {"-1", 1}}, {"GET /f2.dat", "GET /f1.dat"}, " 0", "-3"},
        {{{"-3", 3}}, {"GET /f3.dat"}, " 0", "-5"},
        {{{"1", 1}, {"-4", 4}}, {"GET /f1.dat", "GET /f4.dat"}, " 1", "-5"},
        // A level that cannot be read is not newer, in either pass.
        {{{"1e400", 5}}, {}, ""},
        {{{"1e400", 5}, {"3", 3}}, {"GET /f3.dat"}, " 3"},
        {{{"3", 3}, {"1e400", 5}}, {"GET /f3.dat"}, " 3"},
    };
    for (const Cas& c : cas) {
        SCOPED_TRACE(c.niveaux.front().first.toStdString());
        Banc b;
        ASSERT_TRUE(b.pret());
        b.niveau(c.actuel);
        QStringList entrees;
        for (const auto& [niveau, fichier] : c.niveaux)
            entrees << niveau << b.url(QStringLiteral("/f%1.dat").arg(fichier))
                    << QStringLiteral("L%1.DAT").arg(fichier);
        b.liste(entrees);
        const QByteArray avant = b.tempo();
        EXPECT_TRUE(b.activer());
        EXPECT_EQ(b.demandes(), c.demandes);
        // One caption per file fetched, counting up to the number of files.
        QStringList legendes;
        for (qsizetype i = 1; i <= c.demandes.size(); ++i)
            legendes << QStringLiteral("Transfert du fichier %1 / %2").arg(i).arg(c.demandes.size());
        EXPECT_EQ(b.vue.legendes, legendes);
        if (c.enregistre.isEmpty()) {
            EXPECT_EQ(b.tempo(), avant);
            EXPECT_EQ(b.faux.dialogues.boites.back().titre, QStringLiteral("Pas d'actualisation"));
        } else {
            EXPECT_EQ(b.niveaulu(), c.enregistre);
            EXPECT_EQ(lignes({b.faux.dialogues.boites.back()}),
                      lignes({information("Actualisation terminée.",
                                          "Vous disposez maintenant de la version" + c.enregistre)}));
        }
    }
}

TEST_F(Etapes, LesEntreesSontRogneesEtLesNomsSontDesNomsWindows)
{
    ASSERT_TRUE(QDir().mkpath(chemin(QStringLiteral("donnees"))));
    ecrirefichier(chemin(QStringLiteral("donnees/sons.dat")), "anciens sons");
    liste({"  3  ", "  " + url(QStringLiteral("/f3.dat")) + "  ", "  LECON3.DAT  ", " 4",
           url(QStringLiteral("/f4.dat")), "DONNEES\\SONS.DAT"});
    EXPECT_TRUE(activer());
    EXPECT_EQ(lirefichier(chemin(QStringLiteral("LECON3.DAT"))), contenu(3));
    // The existing folder and file are found whatever their case: no twin.
    EXPECT_EQ(lirefichier(chemin(QStringLiteral("donnees/sons.dat"))), contenu(4));
    EXPECT_EQ(contenudossier(produit),
              (QStringList{"LECON3.DAT", "LISTE.MAJ", "PARANET.LST", "TEMPO.QZS", "donnees", "donnees/sons.dat"}));
    EXPECT_EQ(niveaulu(), QStringLiteral(" 4"));
}

TEST_F(Etapes, UneCibleEstRemplaceeEntiereEtUnCorpsVideDonneUnFichierVide)
{
    ecrirefichier(chemin(QStringLiteral("LECON3.DAT")), QByteArray(5000, 'x'));
    ecrirefichier(chemin(QStringLiteral("VIDE.DAT")), "ancien contenu");
    ecrirefichier(web + QStringLiteral("/vide.dat"), QByteArray());
    liste({" 3", url(QStringLiteral("/f3.dat")), "LECON3.DAT", " 4", url(QStringLiteral("/vide.dat")), "VIDE.DAT"});
    EXPECT_TRUE(activer());
    EXPECT_EQ(lirefichier(chemin(QStringLiteral("LECON3.DAT"))), contenu(3));
    EXPECT_TRUE(QFileInfo::exists(chemin(QStringLiteral("VIDE.DAT"))));
    EXPECT_EQ(QFileInfo(chemin(QStringLiteral("VIDE.DAT"))).size(), 0);
}

TEST_F(Etapes, UnEchecSurLeDeuxiemeDeTroisGardeLePremierEtLAncienNiveau)
{
    ecrirefichier(chemin(QStringLiteral("LECON4.DAT")), "ancienne lecon 4");
    liste({" 3", url(QStringLiteral("/f3.dat")), "LECON3.DAT", " 4", url(QStringLiteral("/absent.dat")), "LECON4.DAT",
           " 5", url(QStringLiteral("/f5.dat")), "LECON5.DAT"});
    const QByteArray avant = tempo();
    EXPECT_FALSE(activer());
    EXPECT_EQ(demandes(), (QStringList{"GET /f3.dat", "GET /absent.dat"}));
    EXPECT_EQ(lirefichier(chemin(QStringLiteral("LECON3.DAT"))), contenu(3));
    // The error page never reaches the product file.
    EXPECT_EQ(lirefichier(chemin(QStringLiteral("LECON4.DAT"))), QByteArray("ancienne lecon 4"));
    EXPECT_FALSE(QFileInfo::exists(chemin(QStringLiteral("LECON5.DAT"))));
    EXPECT_EQ(tempo(), avant);
    EXPECT_EQ(lignes(faux.dialogues.boites), lignes({telechargementimpossible}));
    EXPECT_TRUE(etat.abandon);
    EXPECT_EQ(fenetre.dechargements, 1);
    EXPECT_FALSE(etat.fente.ouverte());
    // The window's closing deleted the list; nothing else is left behind.
    EXPECT_EQ(contenudossier(produit), (QStringList{"LECON3.DAT", "LECON4.DAT", "PARANET.LST", "TEMPO.QZS"}));
    EXPECT_FALSE(relance());
}

// A name that cannot be written (a missing folder, a folder in the way, a
// name that leaves the product folder or names none) is a writing failure:
// nothing is written anywhere and the level stays.
TEST(EtapesEcriture, LesCiblesImpossiblesAEcrireSontDesEchecsDEcriture)
{
    const QStringList noms{
        "MANQUE\\A.DAT",
        "DOSSIER",
        "LECON1.DAT\\A.DAT",
        "..\\dehors.dat",
        "DOSSIER\\..\\..\\dehors.dat",
        "\\dehors.dat",
        "/etc/velorine-dehors",
        "C:\\dehors.dat",
        "",
    };
    for (const QString& nom : noms) {
        SCOPED_TRACE(nom.toStdString());
        Banc b;
        ASSERT_TRUE(b.pret());
        ASSERT_TRUE(QDir().mkpath(b.chemin(QStringLiteral("DOSSIER"))));
        ecrirefichier(b.chemin(QStringLiteral("LECON1.DAT")), "lecon 1");
        b.liste({" 3", b.url(QStringLiteral("/f3.dat")), "LECON3.DAT", " 4", b.url(QStringLiteral("/f4.dat")), nom});
        const QByteArray avant = b.tempo();
        QStringList attendu = contenudossier(b.racine.path());
        attendu.append(QStringLiteral("produit/LECON3.DAT"));
        attendu.sort();
        EXPECT_FALSE(b.activer());
        EXPECT_EQ(lignes(b.faux.dialogues.boites), lignes({ecritureimpossible}));
        EXPECT_EQ(b.fenetre.dechargements, 1);
        EXPECT_EQ(b.tempo(), avant);
        EXPECT_EQ(contenudossier(b.racine.path()), attendu);
        EXPECT_FALSE(QFileInfo::exists(QStringLiteral("/etc/velorine-dehors")));
        EXPECT_EQ(lirefichier(b.chemin(QStringLiteral("LECON1.DAT"))), QByteArray("lecon 1"));
    }
}

// The fetch comes first: when it fails, the failure is told as a fetch
// failure even if the file could not have been written either.
TEST_F(Etapes, UnTelechargementRateEstSignaleAvantUnNomImpossibleAEcrire)
{
    liste({" 3", url(QStringLiteral("/absent.dat")), "MANQUE\\A.DAT"});
    EXPECT_FALSE(activer());
    EXPECT_EQ(lignes(faux.dialogues.boites), lignes({telechargementimpossible}));
}

TEST_F(Etapes, LaListeRemplaceLAncienneEntiere)
{
    ecrirefichier(chemin(QStringLiteral("LISTE.MAJ")), QByteArray(100000, 'x'));
    liste(groupes({" 3"}));
    ASSERT_TRUE(fenetre.charger());
    cartesnet(etat, services, fenetre);
    EXPECT_EQ(lirefichier(chemin(QStringLiteral("LISTE.MAJ"))), lirefichier(web + QStringLiteral("/LISTE.MAJ")));
    EXPECT_FALSE(etat.abandon);
    EXPECT_TRUE(faux.dialogues.boites.empty());
    EXPECT_EQ(vue.finsprogression, 1);
}

TEST(EtapesListe, UneListeImpossibleATelechargerOuAEcrireEstSignalee)
{
    const Boite telechargement = erreur("Ouverture impossible", "Téléchargement impossible");
    const Boite ecriture = erreur("Ouverture impossible", "Ecriture sur dique impossible");
    struct Cas {
        QString adresse;   // "@" + path on the server
        bool listedossier; // LISTE.MAJ is a folder
        Boite boite;
    };
    const std::vector<Cas> cas{
        {"@/absent.maj", false, telechargement},
        {"@/erreur/500", false, telechargement},
        {"http://127.0.0.1:1/LISTE.MAJ", false, telechargement},
        {"", false, telechargement},
        {"@/LISTE.MAJ", true, ecriture},
    };
    for (const Cas& c : cas) {
        SCOPED_TRACE(c.adresse.toStdString());
        Banc b;
        ASSERT_TRUE(b.pret());
        b.liste(b.groupes({" 3"}));
        const QString adresse = c.adresse.startsWith(u'@') ? b.url(c.adresse.mid(1)) : c.adresse;
        ecrirefichier(b.chemin(QStringLiteral("PARANET.LST")),
                      fichierenregistrements({"", "", "", "", "", "", adresse}));
        if (c.listedossier) {
            ASSERT_TRUE(QDir().mkpath(b.chemin(QStringLiteral("LISTE.MAJ"))));
        }
        const QStringList avant = contenudossier(b.produit);
        EXPECT_FALSE(b.activer());
        EXPECT_EQ(lignes(b.faux.dialogues.boites), lignes({c.boite}));
        EXPECT_TRUE(b.etat.abandon);
        EXPECT_EQ(b.fenetre.dechargements, 1);
        EXPECT_FALSE(b.etat.fente.ouverte());
        EXPECT_TRUE(b.vue.liste.isEmpty());
        EXPECT_EQ(contenudossier(b.produit), avant);
    }
}

TEST(EtapesListe, LaMarqueDeLaListeEstCompareeExactement)
{
    const std::vector<QByteArray> corps{
        fichierenregistrements({"MAJQZ7INTERNET ", " 3", "adresse", "LECON3.DAT"}),
        fichierenregistrements({"majqz7internet", " 3", "adresse", "LECON3.DAT"}),
        fichierenregistrements({" MAJQZ7INTERNET", " 3", "adresse", "LECON3.DAT"}),
        QByteArray("<html><body><h1>Page introuvable</h1></body></html>\n"),
        QByteArray("\x7f\x7f damaged"),
        QByteArray(),
    };
    for (const QByteArray& c : corps) {
        SCOPED_TRACE(c.left(20).toStdString());
        Banc b;
        ASSERT_TRUE(b.pret());
        ecrirefichier(b.web + QStringLiteral("/LISTE.MAJ"), c);
        EXPECT_FALSE(b.activer());
        EXPECT_EQ(lignes(b.faux.dialogues.boites), lignes({pasdeliste}));
        EXPECT_TRUE(b.etat.abandon);
        EXPECT_EQ(b.fenetre.dechargements, 1);
        EXPECT_FALSE(b.etat.fente.ouverte());
        EXPECT_EQ(b.demandes(), QStringList());
        EXPECT_FALSE(QFileInfo::exists(b.chemin(QStringLiteral("LISTE.MAJ"))));
    }
}

TEST_F(Etapes, UnFichierListeAbsentEstRefuse)
{
    ASSERT_TRUE(fenetre.charger());
    dresseliste(etat, services, fenetre);
    EXPECT_EQ(lignes(faux.dialogues.boites), lignes({pasdeliste}));
    EXPECT_EQ(fenetre.dechargements, 1);
    EXPECT_FALSE(QFileInfo::exists(etat.fichierliste));
}

TEST_F(Etapes, LaListeFinitALaPremiereEntreeBlancheEtGardeLesEntreesTellesQuelles)
{
    etat.fichierliste = chemin(QStringLiteral("LISTE.MAJ"));
    vue.liste = QStringList{"ancienne entrée"};
    ecrirefichier(etat.fichierliste,
                  fichierenregistrements({marque, "  3  ", "adresse", "NOM", "   ", " 4", "a", "B"}));
    dresseliste(etat, services, fenetre);
    EXPECT_EQ(vue.liste, (QStringList{"  3  ", "adresse", "NOM"}));
    EXPECT_TRUE(faux.dialogues.boites.empty());
    EXPECT_FALSE(etat.fente.ouverte());

    // Four records: the end of the file ends the list.
    ecrirefichier(etat.fichierliste, fichierenregistrements({marque, " 3", "adresse", "NOM"}));
    dresseliste(etat, services, fenetre);
    EXPECT_EQ(vue.liste, (QStringList{" 3", "adresse", "NOM"}));
    EXPECT_FALSE(etat.abandon);
}

// Seven entries: all seven are listed; the last group has a level but no
// address and no name, so its fetch fails after the first two groups.
TEST_F(Etapes, UnDernierGroupeSansAdresseEchoueASonTelechargement)
{
    liste(groupes({" 3", " 4"}) + QStringList{" 9"});
    const QByteArray avant = tempo();
    EXPECT_FALSE(activer());
    EXPECT_EQ(vue.liste.size(), 7);
    EXPECT_EQ(demandes(), (QStringList{"GET /f3.dat", "GET /f4.dat"}));
    EXPECT_EQ(vue.legendes.back(), QStringLiteral("Transfert du fichier 3 / 3"));
    EXPECT_EQ(lignes(faux.dialogues.boites), lignes({telechargementimpossible}));
    EXPECT_EQ(lirefichier(chemin(QStringLiteral("LECON4.DAT"))), contenu(4));
    EXPECT_EQ(tempo(), avant);
}

TEST_F(Etapes, UneListeAuDelaDeLaLimiteDesEnregistrementsEstRefusee)
{
    etat.fichierliste = chemin(QStringLiteral("LISTE.MAJ"));
    QStringList enregs{marque};
    for (int i = 0; i < 32766; ++i)
        enregs << QStringLiteral("x");
    ecrirefichier(etat.fichierliste, fichierenregistrements(enregs));
    dresseliste(etat, services, fenetre);
    EXPECT_EQ(lignes(faux.dialogues.boites), lignes({pasdeliste}));
    EXPECT_EQ(vue.liste.size(), 32766);
}

TEST_F(Etapes, UneListeVideEstSignaleeEtLaFenetreResteOuverte)
{
    liste({});
    const QByteArray avant = tempo();
    EXPECT_FALSE(activer());
    EXPECT_EQ(lignes(faux.dialogues.boites), lignes({erreur("Erreur", "Erreur lors de l'ouverture du fichier")}));
    EXPECT_TRUE(etat.abandon);
    EXPECT_EQ(fenetre.dechargements, 0);
    EXPECT_EQ(tempo(), avant);
}

TEST_F(Etapes, RienNeSeFaitApresUnEchecPrecedent)
{
    etat.abandon = true;
    vue.liste = groupes({" 3"});
    dresseliste(etat, services, fenetre);
    tesparti(etat, services, fenetre);
    EXPECT_TRUE(faux.dialogues.boites.empty());
    EXPECT_EQ(vue.liste.size(), 3);
    EXPECT_EQ(serveur->journal(), QStringList());
    EXPECT_EQ(fenetre.dechargements, 0);
}

// "Annuler" clicked while the second file arrives: the transfer is aborted,
// the window closes once, no message follows, no level is recorded, and the
// chooser can start a new attempt.
TEST_F(Etapes, AnnulerPendantUnTelechargementArreteSansMessage)
{
    liste({" 3", url(QStringLiteral("/f3.dat")), "LECON3.DAT", " 4", url(QStringLiteral("/bloque/5000")), "LECON4.DAT",
           " 5", url(QStringLiteral("/f5.dat")), "LECON5.DAT"});
    ecrirefichier(chemin(QStringLiteral("LECON4.DAT")), "ancienne lecon 4");
    bool clique = false;
    vue.surprogression = [&](long long recus, long long) {
        if (recus >= 5000 && !clique) {
            clique = true;
            QTimer::singleShot(0, [&] { fenetre.annuler(); });
        }
    };
    const QByteArray avant = tempo();
    EXPECT_FALSE(activer());
    EXPECT_TRUE(clique);
    EXPECT_TRUE(serveur->attendre(QStringLiteral("FERME /bloque/5000")));
    EXPECT_EQ(demandes(), (QStringList{"GET /f3.dat", "GET /bloque/5000", "FERME /bloque/5000"}));
    EXPECT_TRUE(faux.dialogues.boites.empty());
    EXPECT_EQ(faux.dialogues.bips, 1);
    EXPECT_EQ(fenetre.dechargements, 1);
    // The closed window is left alone: its bar saw the list and one file.
    EXPECT_EQ(vue.finsprogression, 2);
    EXPECT_TRUE(etat.abandon);
    EXPECT_EQ(tempo(), avant);
    EXPECT_EQ(lirefichier(chemin(QStringLiteral("LECON3.DAT"))), contenu(3));
    EXPECT_EQ(lirefichier(chemin(QStringLiteral("LECON4.DAT"))), QByteArray("ancienne lecon 4"));
    EXPECT_EQ(contenudossier(produit), (QStringList{"LECON3.DAT", "LECON4.DAT", "PARANET.LST", "TEMPO.QZS"}));

    // A new choice of the chooser: the update now runs to its end.
    vue.surprogression = nullptr;
    liste(groupes({" 3", " 4", " 5"}));
    EXPECT_TRUE(activer());
    EXPECT_EQ(lignes(faux.dialogues.boites), lignes({termine5}));
    EXPECT_EQ(lirefichier(chemin(QStringLiteral("LECON4.DAT"))), contenu(4));
    EXPECT_EQ(niveaulu(), QStringLiteral(" 5"));
}

// A cancel keeps nothing of a large file, even one its server would let
// the next run finish.
TEST_F(Etapes, AnnulerPendantUnGrosFichierNeLaissePasDeFichierPartiel)
{
    ecrirefichier(web + QStringLiteral("/gros.bin"), QByteArray(3 << 20, 'g'));
    liste({" 3", url(QStringLiteral("/moitie/gros.bin")), "GROS.DAT"});
    bool clique = false;
    vue.surprogression = [&](long long recus, long long) {
        if (recus >= (1 << 20) && !clique) {
            clique = true;
            QTimer::singleShot(0, [&] { fenetre.annuler(); });
        }
    };
    EXPECT_FALSE(activer());
    EXPECT_TRUE(clique);
    EXPECT_TRUE(faux.dialogues.boites.empty());
    EXPECT_EQ(contenudossier(produit), (QStringList{"PARANET.LST", "TEMPO.QZS"}));
}

// "Annuler" handled at the yield after a file has arrived, before it is
// put in place: that file is not written and the run stops there.
TEST_F(Etapes, AnnulerApresUnTelechargementArreteAvantLEcritureDuFichier)
{
    liste(groupes({" 3", " 4"}));
    faux.boucle.declencheur = 3; // load, list, then the first file
    faux.boucle.action = [&] { fenetre.annuler(); };
    const QByteArray avant = tempo();
    EXPECT_FALSE(activer());
    EXPECT_EQ(demandes(), QStringList{"GET /f3.dat"});
    EXPECT_TRUE(faux.dialogues.boites.empty());
    EXPECT_EQ(fenetre.dechargements, 1);
    EXPECT_EQ(tempo(), avant);
    EXPECT_EQ(contenudossier(produit), (QStringList{"PARANET.LST", "TEMPO.QZS"}));
}

TEST_F(Etapes, AnnulerPendantLeTelechargementDeLaListeFermeLaFenetreUneFois)
{
    ecrirefichier(chemin(QStringLiteral("PARANET.LST")),
                  fichierenregistrements({"", "", "", "", "", "", url(QStringLiteral("/muet"))}));
    // "Annuler" once the server holds the request.
    QTimer clic;
    QObject::connect(&clic, &QTimer::timeout, [&] {
        if (serveur->journal().contains(QStringLiteral("GET /muet"))) {
            clic.stop();
            fenetre.annuler();
        }
    });
    clic.start(10);
    EXPECT_FALSE(activer());
    EXPECT_TRUE(serveur->attendre(QStringLiteral("FERME /muet")));
    EXPECT_TRUE(faux.dialogues.boites.empty());
    EXPECT_EQ(fenetre.dechargements, 1);
    EXPECT_EQ(faux.dialogues.bips, 1);
    EXPECT_EQ(contenudossier(produit), (QStringList{"PARANET.LST", "TEMPO.QZS"}));
}

} // namespace

// Another process changes a folder of the product while the run goes on,
// after the run has read it: the folder renamed and a link to the outside
// planted in its place, a file replaced by a link to the outside, a file
// renamed. The run never writes through the link nor outside the product;
// where the folder it read is gone it fails as a writing failure and
// records no level.
TEST(EtapesDossierChange, UnDossierChangeParUnAutrePendantLeParcoursNeMenePasDehors)
{
    struct Cas {
        const char* nom;
        const char* commande; // run by sh in the product folder, with $1 the outside folder
        bool reussi;
        QStringList sons; // the product's Sons folder afterwards
    };
    const Cas cas[] = {
        {"dossier renommé, lien planté à sa place", "mv Sons Anciens && ln -s \"$1\" Sons", false, {}},
        {"fichier remplacé par un lien", "ln -sf \"$1/secret\" Sons/b.wav", true, {"A.WAV", "C.WAV", "b.wav"}},
        {"fichier renommé", "mv Sons/b.wav Sons/autre.wav", true, {"A.WAV", "C.WAV", "autre.wav", "b.wav"}},
    };
    for (const Cas& c : cas) {
        SCOPED_TRACE(c.nom);
        Banc b;
        ASSERT_TRUE(b.pret());
        QTemporaryDir dehors;
        ecrirefichier(dehors.filePath("secret"), "secret");
        QDir().mkpath(b.chemin("Sons"));
        ecrirefichier(b.chemin("Sons/b.wav"), "ancien");
        b.liste({" 3", b.url("/f3.dat"), "SONS\\A.WAV", " 4", b.url("/f4.dat"), "sons\\B.WAV", " 5", b.url("/f5.dat"),
                 "Sons\\C.WAV"});
        // The yields: the load, the list, then each file once it arrived:
        // the change comes after the first file and before the second.
        b.faux.boucle.declencheur = 3;
        b.faux.boucle.action = [&] {
            ASSERT_EQ(
                QProcess::execute("/bin/sh", {"-c", QString("cd \"$0\" && ") + c.commande, b.produit, dehors.path()}),
                0);
        };
        b.activer();
        EXPECT_EQ(contenudossier(dehors.path()), QStringList{"secret"});
        EXPECT_EQ(lirefichier(dehors.filePath("secret")), QByteArray("secret"));
        if (c.reussi) {
            EXPECT_EQ(lignes(b.faux.dialogues.boites), lignes({termine5}));
            EXPECT_EQ(contenudossier(b.produit + "/Sons"), c.sons);
            EXPECT_EQ(lirefichier(b.chemin("Sons/b.wav")), Banc::contenu(4));
            EXPECT_FALSE(QFileInfo(b.chemin("Sons/b.wav")).isSymLink());
            EXPECT_EQ(b.niveaulu(), QStringLiteral(" 5"));
        } else {
            EXPECT_EQ(lignes(b.faux.dialogues.boites), lignes({ecritureimpossible}));
            EXPECT_EQ(b.niveaulu(), QStringLiteral(" 2"));
            EXPECT_EQ(lirefichier(b.chemin("Anciens/b.wav")), QByteArray("ancien"));
        }
    }
}
