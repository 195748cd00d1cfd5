#include "dossiers.h"
#include "processus.h"
#include "base/echec.h"
#include "records/preuve.h"

#include <QCryptographicHash>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <cstdio>
#include <functional>
#include <gtest/gtest.h>
#include <fcntl.h>
#include <unistd.h>

using namespace velorine;
using namespace velorine::test;

namespace {

// Runs a program to its end; returns its exit code, -1 when it crashed or
// did not end.
int executer(const QString& programme, const QStringList& arguments, QString* sortie = nullptr)
{
    const Resultat r = lancerprogramme(QStringList{programme} + arguments, 60000, QProcess::MergedChannels);
    if (sortie)
        *sortie = r.sortie;
    return r.code;
}

bool aminisign()
{
    return !QStandardPaths::findExecutable("minisign").isEmpty();
}

// minisign 0.11 signs the BLAKE2b hash by default; -l keeps the legacy
// signature of the message itself, where the version has it.
bool aancienformat()
{
    QString aide;
    executer("minisign", {"-h"}, &aide);
    return aide.contains("-l ");
}

QString hex(const Empreinte& e)
{
    return QString::fromLatin1(QByteArray(reinterpret_cast<const char*>(e.data()), 32).toHex());
}

QByteArray sha256(const QByteArray& contenu)
{
    return QCryptographicHash::hash(contenu, QCryptographicHash::Sha256).toHex();
}

// The reason of the Echec that f throws, or "" when it throws none.
std::string raison(const std::function<void()>& f)
{
    try {
        f();
    } catch (const Echec& e) {
        return e.what();
    }
    return {};
}

// Two key pairs made by minisign, and signatures made with them.
class Preuve : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!aminisign())
            GTEST_SKIP() << "minisign absent (paquet Debian minisign) : signatures impossibles à produire";
        for (const char* nom : {"a", "b"}) {
            ASSERT_EQ(executer("minisign", {"-G", "-W", "-p", chemin(nom) + ".pub", "-s", chemin(nom) + ".key"}), 0);
        }
        cleA = lirefichier(chemin("a") + ".pub");
        cleB = lirefichier(chemin("b") + ".pub");
        manifeste = "0000000000000000000000000000000000000000000000000000000000000000  LISTE.MAJ\n"
                    "1111111111111111111111111111111111111111111111111111111111111111  PROG.EXE\n";
    }

    QString chemin(const QString& nom) const { return d.filePath(nom); }

    // Signs contenu with the key nom ("a" or "b"); returns the signature file.
    QByteArray signer(const QString& nom, const QByteArray& contenu, bool ancien = false,
                      const QString& commentaire = "niveau 7")
    {
        const QString message = chemin("message");
        ecrirefichier(message, contenu);
        QFile::remove(message + ".minisig");
        QStringList args{"-S", "-s", chemin(nom) + ".key", "-m", message, "-t", commentaire};
        if (ancien)
            args << "-l";
        QString sortie;
        EXPECT_EQ(executer("minisign", args, &sortie), 0) << sortie.toStdString();
        return lirefichier(message + ".minisig");
    }

    QTemporaryDir d;
    QByteArray cleA, cleB, manifeste;
};

TEST_F(Preuve, UneBonneSignaturePasseEnModePrehacheEtAncien)
{
    for (const bool ancien : {false, true}) {
        if (ancien && !aancienformat()) {
            std::printf("minisign sans -l : format ancien non essayé\n");
            continue;
        }
        SCOPED_TRACE(ancien ? "ancien (-l)" : "préhaché");
        const QByteArray sig = signer("a", manifeste, ancien, "Velorine niveau 7");
        // The second line's first two bytes name the algorithm.
        EXPECT_EQ(QByteArray::fromBase64(sig.split('\n').value(1)).left(2), QByteArray(ancien ? "Ed" : "ED"));
        const ClePublique cle = lirecle(cleA);
        EXPECT_EQ(verifiersignature(cle, manifeste, sig), QString("Velorine niveau 7"));
        const Manifeste m = manifesteprouve(cle, manifeste, sig);
        EXPECT_EQ(m.taille(), 2);
        EXPECT_EQ(hex(m.empreinte("PROG.EXE")), QString(64, u'1'));
    }
}

TEST_F(Preuve, ToutEcartArreteLaVerification)
{
    const QByteArray bonne = signer("a", manifeste);
    const QByteArray autre = signer("a", manifeste + "\n");
    const QByteArray parB = signer("b", manifeste);

    // The line i (from 0) of a file.
    const auto ligne = [](const QByteArray& fichier, int i) { return fichier.split('\n').value(i); };
    const auto remplacer = [](QByteArray fichier, int i, const QByteArray& par) {
        QList<QByteArray> l = fichier.split('\n');
        l[i] = par;
        return l.join('\n');
    };
    QByteArray base64abime = ligne(bonne, 1);
    base64abime[10] = '!';
    QByteArray base64court = ligne(bonne, 1);
    base64court.chop(4);
    QByteArray cleabimee = ligne(cleA, 1);
    cleabimee[5] = cleabimee[5] == 'A' ? 'B' : 'A';

    struct Cas {
        const char* nom;
        QByteArray cle, message, signature;
        const char* raison;
    };
    const QByteArray m = manifeste;
    const Cas cas[] = {
        {"manifeste changé", cleA, QByteArray(m).replace("1111", "1112"), bonne, "ne correspond pas au contenu signé"},
        {"manifeste allongé", cleA, m + "\n", bonne, "ne correspond pas au contenu signé"},
        {"commentaire de confiance changé", cleA, m, remplacer(bonne, 2, "trusted comment: niveau 8"),
         "signature globale"},
        {"signature globale d'une autre signature", cleA, m, remplacer(bonne, 3, ligne(autre, 3)), "signature globale"},
        {"signée par une autre clé", cleA, m, parB, "autre clé"},
        {"clé d'une autre paire", cleB, m, bonne, "autre clé"},
        {"base64 abîmé", cleA, m, remplacer(bonne, 1, base64abime), "base64 invalide"},
        {"base64 suivi d'une espace", cleA, m, remplacer(bonne, 1, ligne(bonne, 1) + " "), "base64 invalide"},
        {"base64 trop court", cleA, m, remplacer(bonne, 1, base64court), "longueur"},
        {"signature tronquée", cleA, m, bonne.left(bonne.size() / 2), "quatre lignes"},
        {"signature vide", cleA, m, "", "quatre lignes"},
        {"signature sans commentaire de confiance", cleA, m, remplacer(bonne, 2, "comment: niveau 7"), "quatre lignes"},
        {"signature géante", cleA, m,
         "untrusted comment: " + QByteArray(8192, 'x') + "\n" + bonne.mid(bonne.indexOf('\n') + 1), "trop long"},
        {"clé tronquée", cleA.left(cleA.size() - 10), m, bonne, "clé publique"},
        {"clé sans commentaire", ligne(cleA, 1), m, bonne, "clé publique"},
        {"clé abîmée", remplacer(cleA, 1, cleabimee), m, bonne, ""},
    };
    for (const Cas& c : cas) {
        SCOPED_TRACE(c.nom);
        const std::string r = raison([&] { manifesteprouve(lirecle(c.cle), c.message, c.signature); });
        EXPECT_FALSE(r.empty());
        EXPECT_NE(r.find(c.raison), std::string::npos) << r;
    }
}

TEST(Manifeste, LignesRefusees)
{
    const QByteArray h(64, 'a');
    struct Cas {
        const char* nom;
        QByteArray contenu;
        const char* raison;
    };
    const Cas cas[] = {
        {"empreinte non hexadécimale", QByteArray(63, 'a') + "g  PROG.EXE\n", "non hexadécimale"},
        {"empreinte courte", QByteArray(62, 'a') + "  PROG.EXE\n", "attendu"},
        {"une seule espace", h + " PROG.EXE\n", "attendu"},
        {"sans nom", h + "  \n", "attendu"},
        {"nom fait de séparateurs", h + "  \\/./\n", "nom vide"},
        {"ligne vide au milieu", h + "  A\n\n" + h + "  B\n", "ligne 2"},
        {"même nom deux fois", h + "  DONNEES/LECON.DAT\n" + h + " *donnees\\lecon.dat\n", "déjà donné"},
        {"caractère de contrôle", h + "  PROG\x01.EXE\n", "refusé"},
        {"lecteur", h + "  C:PROG.EXE\n", "refusé"},
        {"octet nul", h + "  PROG" + QByteArray(1, '\0') + ".EXE\n", "octet nul"},
        {"UTF-8 invalide", h + "  PROG\xff.EXE\n", "UTF-8"},
        {"trop long", QByteArray(taillemaxmanifeste + 1, '\n'), "trop long"},
    };
    for (const Cas& c : cas) {
        SCOPED_TRACE(c.nom);
        const std::string r = raison([&] { Manifeste::lire(c.contenu); });
        EXPECT_NE(r.find(c.raison), std::string::npos) << r;
    }
}

TEST(Manifeste, NomsSansEgardALaCasseNiAuSeparateur)
{
    const QByteArray contenu = QByteArray(64, 'a') + "  DONNEES/lecon.dat\r\n" + QByteArray(64, 'B') + " *Prog.exe\n"
                               + QByteArray(64, 'c') + "  Élève/Carré.txt";
    const Manifeste m = Manifeste::lire(contenu);
    EXPECT_EQ(m.taille(), 3);
    for (const char* nom : {"DONNEES\\LECON.DAT", "donnees/lecon.dat", "Donnees\\.\\Lecon.dat", "\\DONNEES\\LECON.DAT"})
        EXPECT_EQ(hex(m.empreinte(nom)), QString(64, u'a')) << nom;
    EXPECT_EQ(hex(m.empreinte("PROG.EXE")), QString(64, u'b'));
    EXPECT_EQ(hex(m.empreinte(QString::fromUtf8("ÉLÈVE\\CARRÉ.TXT"))), QString(64, u'c'));
    for (const char* nom : {"DONNEES\\LECON.DA", "LECON.DAT", "DONNEES", "LISTE.MAJ"}) {
        EXPECT_FALSE(m.contient(nom)) << nom;
        EXPECT_NE(raison([&] { m.empreinte(nom); }).find("ne nomme pas"), std::string::npos) << nom;
    }
}

TEST(Empreinte, FichierCompareAuManifeste)
{
    QTemporaryDir d;
    // Larger than one read block, and not a multiple of it.
    QByteArray contenu;
    for (int i = 0; i < 200000; ++i)
        contenu += char(i * 7 + i / 300);
    ecrirefichier(d.filePath("lecon.dat"), contenu);
    const Manifeste m = Manifeste::lire(sha256(contenu) + "  DONNEES/LECON.DAT\n" + sha256("autre") + "  PROG.EXE\n");

    const int fd = ::open(QFile::encodeName(d.filePath("lecon.dat")).constData(), O_RDONLY);
    ASSERT_GE(fd, 0);
    EXPECT_EQ(hex(sha256fd(fd)).toLatin1(), sha256(contenu));
    // The descriptor is now at its end: the check reads it again from its start.
    EXPECT_NO_THROW(verifierfichier(m, "donnees\\lecon.dat", fd));
    EXPECT_NE(raison([&] { verifierfichier(m, "PROG.EXE", fd); }).find("ne correspond pas"), std::string::npos);
    EXPECT_NE(raison([&] { verifierfichier(m, "AUTRE.DAT", fd); }).find("ne nomme pas"), std::string::npos);
    ::close(fd);

    // One byte changed.
    contenu[123456] = char(contenu[123456] ^ 1);
    ecrirefichier(d.filePath("lecon.dat"), contenu);
    const int fd2 = ::open(QFile::encodeName(d.filePath("lecon.dat")).constData(), O_RDONLY);
    ASSERT_GE(fd2, 0);
    EXPECT_NE(raison([&] { verifierfichier(m, "DONNEES\\LECON.DAT", fd2); }).find("ne correspond pas"),
              std::string::npos);
    ::close(fd2);

    // A descriptor that cannot be read.
    EXPECT_NE(raison([&] { sha256fd(-1); }).find("lecture impossible"), std::string::npos);
}

TEST(Empreinte, LectureBornee)
{
    QTemporaryDir d;
    ecrirefichier(d.filePath("juste"), QByteArray(4096, 'x'));
    ecrirefichier(d.filePath("trop"), QByteArray(4097, 'x'));
    EXPECT_EQ(lirefichierborne(d.filePath("juste"), 4096).size(), 4096);
    EXPECT_NE(raison([&] { lirefichierborne(d.filePath("trop"), 4096); }).find("plus de 4096"), std::string::npos);
    EXPECT_NE(raison([&] { lirefichierborne(d.filePath("absent"), 4096); }).find("ouverture impossible"),
              std::string::npos);
}

// The publisher's script, end to end: its manifest and signature verify with
// the library, every file of the list is found under its Windows name.
TEST_F(Preuve, SignerListeDeBoutEnBout)
{
    const QString dossier = chemin("publication");
    QDir(d.path()).mkpath("publication/Donnees");
    const QByteArray prog = "programme v2";
    const QByteArray lecon = "leçon";
    ecrirefichier(dossier + "/PROG.EXE", prog);
    ecrirefichier(dossier + "/Donnees/lecon.dat", lecon);
    const QByteArray liste =
        fichierenregistrements({"MAJQZ7INTERNET", "1", "http://h/PROG.EXE", "PROG.EXE", "2", "http://h/lecon.dat",
                                "DONNEES\\LECON.DAT", "3", "http://h/PROG.EXE", "prog.exe", ""})
        + fichierenregistrements({"ignoré après la fin"});
    ecrirefichier(dossier + "/LISTE.MAJ", liste);

    const QString script = QStringLiteral(VELORINE_SCRIPTS "/signer-liste");
    QString sortie;
    ASSERT_EQ(executer("python3", {script, dossier, chemin("a.key"), "Velorine niveau 3"}, &sortie), 0)
        << sortie.toStdString();

    const QByteArray texte = lirefichier(dossier + "/LISTE.MAJ.sha256");
    const QByteArray sig = lirefichier(dossier + "/LISTE.MAJ.sha256.minisig");
    EXPECT_EQ(verifiersignature(lirecle(cleA), texte, sig), QString("Velorine niveau 3"));
    const Manifeste m = manifesteprouve(lirecle(cleA), texte, sig);
    EXPECT_EQ(m.taille(), 3);
    EXPECT_EQ(hex(m.empreinte("LISTE.MAJ")).toLatin1(), sha256(liste));
    EXPECT_EQ(hex(m.empreinte("prog.exe")).toLatin1(), sha256(prog));
    EXPECT_EQ(hex(m.empreinte("DONNEES\\LECON.DAT")).toLatin1(), sha256(lecon));
    EXPECT_NE(raison([&] { manifesteprouve(lirecle(cleB), texte, sig); }).find("autre clé"), std::string::npos);

    // Lists the script refuses: nothing is written or signed.
    struct Refus {
        QStringList liste;
        const char* raison;
    };
    const Refus refus[] = {
        {{"MAJQZ7INTERNET", "4", "http://h/X", "ABSENT.DAT"}, "ABSENT.DAT : introuvable"},
        {{"MAJQZ7INTERNET", "4", "http://h/X", "liste.maj"}, "réservé à la liste"},
        {{"MAJQZ7INTERNET", "4", "http://h/X", "..\\PROG.EXE"}, "nom refusé"},
        {{"MAJQZ7INTERNET", "4", "http://h/X"}, "groupes de trois"},
        {{"MAJQZ7INTERNE", "4", "http://h/X", "PROG.EXE"}, "MAJQZ7INTERNET attendu"},
    };
    for (const Refus& r : refus) {
        SCOPED_TRACE(r.raison);
        ecrirefichier(dossier + "/LISTE.MAJ", fichierenregistrements(r.liste));
        QFile::remove(dossier + "/LISTE.MAJ.sha256");
        QFile::remove(dossier + "/LISTE.MAJ.sha256.minisig");
        EXPECT_NE(executer("python3", {script, dossier, chemin("a.key")}, &sortie), 0);
        EXPECT_TRUE(sortie.contains(QString::fromUtf8(r.raison))) << sortie.toStdString();
        EXPECT_EQ(QDir(dossier).entryList(QDir::Files), QStringList({"LISTE.MAJ", "PROG.EXE"}));
    }
}

} // namespace
