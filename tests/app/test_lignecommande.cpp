#include "faux.h"
#include "app/lignecommande.h"

#include <gtest/gtest.h>

using namespace velorine;

TEST(LigneCommande, OptionsValides)
{
    QString erreur;
    auto o = lireoptions({}, erreur);
    ASSERT_TRUE(o);
    EXPECT_FALSE(o->sansfenetre);
    EXPECT_EQ(o->delai, 60);

    o = lireoptions({"--unattended", "--install", "/media/cle/A.MAJ", "--product-dir", "/opt/velorine"}, erreur);
    ASSERT_TRUE(o);
    EXPECT_TRUE(o->sansfenetre);
    EXPECT_EQ(o->fichiermaj, "/media/cle/A.MAJ");
    EXPECT_EQ(o->dossierproduit, "/opt/velorine");

    o = lireoptions({"--unattended", "--auto", "--timeout", "5"}, erreur);
    ASSERT_TRUE(o);
    EXPECT_TRUE(o->automatique);
    EXPECT_EQ(o->delai, 5);

    o = lireoptions({"--unattended", "--check"}, erreur);
    ASSERT_TRUE(o);
    EXPECT_TRUE(o->verification);

    o = lireoptions({"--unattended", "--mirror", "/srv/miroir", "--base-url", "http://serveur.ecole.lan/velorine"},
                    erreur);
    ASSERT_TRUE(o);
    EXPECT_EQ(o->miroir, "/srv/miroir");
    EXPECT_EQ(o->adressebase, "http://serveur.ecole.lan/velorine");
    for (const QString adresse : {"https://s/", "ftp://s:21/m", "FILE:///srv/partage/velorine", "HTTP://S"}) {
        o = lireoptions({"--unattended", "--mirror", "M", "--base-url", adresse}, erreur);
        EXPECT_TRUE(o) << adresse.toStdString() << ": " << erreur.toStdString();
    }

    o = lireoptions({"--chooser"}, erreur);
    ASSERT_TRUE(o);
    EXPECT_TRUE(o->choix);

    o = lireoptions({"--repair-rights", "--product-dir", "/opt/velorine"}, erreur);
    ASSERT_TRUE(o);
    EXPECT_TRUE(o->reparation);
}

TEST(LigneCommande, ErreursDUtilisationEnFrancais)
{
    const std::pair<QStringList, QString> cas[] = {
        {{"--bizarre"}, "option inconnue : --bizarre"},
        {{"--install"}, "l'option --install attend une valeur"},
        {{"--install", "A.MAJ"}, "--install et --auto demandent --unattended"},
        {{"--unattended"}, "--unattended demande --install FICHIER.maj, --auto, --check ou --mirror DOSSIER"},
        {{"--mirror", "M", "--base-url", "http://s"}, "--mirror demande --unattended"},
        {{"--unattended", "--mirror", "M"}, "--mirror demande --base-url ADRESSE"},
        {{"--unattended", "--auto", "--base-url", "http://s"}, "--base-url ne va qu'avec --mirror"},
        {{"--unattended", "--mirror", ""}, "le dossier du miroir est vide"},
        {{"--unattended", "--mirror", "M", "--base-url", "http://s", "--auto"},
         "--mirror ne va pas avec --install, --auto ni --check"},
        {{"--unattended", "--check", "--mirror", "M", "--base-url", "http://s"},
         "--mirror ne va pas avec --install, --auto ni --check"},
        {{"--check"}, "--check demande --unattended"},
        {{"--unattended", "--check", "--auto"}, "--check ne va pas avec --install ni --auto"},
        {{"--unattended", "--install", "A.MAJ", "--check"}, "--check ne va pas avec --install ni --auto"},
        {{"--unattended", "--auto", "--install", "A.MAJ"}, "--install et --auto ne vont pas ensemble"},
        {{"--unattended", "--auto", "--timeout", "0"}, "délai invalide : 0 (de 1 à 86400 secondes)"},
        {{"--unattended", "--auto", "--timeout", "x"}, "délai invalide : x (de 1 à 86400 secondes)"},
        {{"--product-dir", ""}, "le dossier du produit est vide"},
        {{"--unattended", "--chooser", "--auto"}, "--chooser ne va pas avec --unattended"},
        {{"--repair-rights", "--unattended", "--auto"}, "--repair-rights ne va qu'avec --product-dir"},
        {{"--repair-rights", "--chooser"}, "--repair-rights ne va qu'avec --product-dir"},
    };
    const QString invalide = QStringLiteral(" (http://, https://, ftp:// ou file:///, sans espace ni ? ni #)");
    for (const QString adresse : {"", "serveur/velorine", "gopher://s", "http://", "http:///chemin", "file:/srv/m",
                                  "http://s/a b", "http://s/?x=1", "http://s/#a", "http://s/é", "http://s/	"}) {
        QString erreur;
        EXPECT_FALSE(lireoptions({"--unattended", "--mirror", "M", "--base-url", adresse}, erreur))
            << adresse.toStdString();
        EXPECT_EQ(erreur, "adresse du miroir invalide : " + adresse + invalide);
    }
    for (const auto& [arguments, attendu] : cas) {
        QString erreur;
        EXPECT_FALSE(lireoptions(arguments, erreur)) << arguments.join(' ').toStdString();
        EXPECT_EQ(erreur, attendu);
    }
}
