#include "app/lignecommande.h"

namespace velorine {
namespace {

// The address under which a room finds the mirror: http, https or ftp with a
// host, or a file: address of a shared folder. Only printable ASCII, with
// neither query nor fragment, as the files' paths are appended to it.
bool adressebasevalide(const QString& adresse)
{
    for (QChar c : adresse)
        if (c.unicode() <= u' ' || c.unicode() >= 0x7F || c == u'?' || c == u'#')
            return false;
    const QString a = adresse.toLower();
    for (const QString& schema : {QStringLiteral("http://"), QStringLiteral("https://"), QStringLiteral("ftp://")})
        if (a.startsWith(schema))
            return a.size() > schema.size() && a[schema.size()] != u'/';
    return a.startsWith(u"file:///");
}

} // namespace

std::optional<Options> lireoptions(const QStringList& arguments, QString& erreur)
{
    Options o;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& a = arguments[i];
        const auto valeur = [&](QString& cible) {
            if (i + 1 >= arguments.size()) {
                erreur = QStringLiteral("l'option %1 attend une valeur").arg(a);
                return false;
            }
            cible = arguments[++i];
            return true;
        };
        if (a == u"--help" || a == u"-h") {
            o.aide = true;
        } else if (a == u"--version") {
            o.version = true;
        } else if (a == u"--unattended") {
            o.sansfenetre = true;
        } else if (a == u"--chooser") {
            o.choix = true;
        } else if (a == u"--parallel") {
            QString texte;
            if (!valeur(texte))
                return std::nullopt;
            bool ok = false;
            o.parallele = texte.toInt(&ok);
            if (!ok || o.parallele < 1 || o.parallele > 16) {
                erreur = QStringLiteral("nombre de transferts simultanés invalide : %1 (de 1 à 16)").arg(texte);
                return std::nullopt;
            }
        } else if (a == u"--verbose") {
            o.bavard = true;
        } else if (a == u"--auto") {
            o.automatique = true;
        } else if (a == u"--check") {
            o.verification = true;
        } else if (a == u"--repair-rights") {
            o.reparation = true;
        } else if (a == u"--product-dir") {
            if (!valeur(o.dossierproduit))
                return std::nullopt;
            if (o.dossierproduit.isEmpty()) {
                erreur = QStringLiteral("le dossier du produit est vide");
                return std::nullopt;
            }
        } else if (a == u"--mirror") {
            if (!valeur(o.miroir))
                return std::nullopt;
            if (o.miroir.isEmpty()) {
                erreur = QStringLiteral("le dossier du miroir est vide");
                return std::nullopt;
            }
        } else if (a == u"--base-url") {
            if (!valeur(o.adressebase))
                return std::nullopt;
            if (!adressebasevalide(o.adressebase)) {
                erreur = QStringLiteral("adresse du miroir invalide : ") + o.adressebase
                         + QStringLiteral(" (http://, https://, ftp:// ou file:///, sans espace ni ? ni #)");
                return std::nullopt;
            }
        } else if (a == u"--install") {
            if (!valeur(o.fichiermaj))
                return std::nullopt;
        } else if (a == u"--timeout") {
            QString texte;
            if (!valeur(texte))
                return std::nullopt;
            bool ok = false;
            o.delai = texte.toInt(&ok);
            if (!ok || o.delai < 1 || o.delai > 86400) {
                erreur = QStringLiteral("délai invalide : %1 (de 1 à 86400 secondes)").arg(texte);
                return std::nullopt;
            }
        } else {
            erreur = QStringLiteral("option inconnue : %1").arg(a);
            return std::nullopt;
        }
    }
    if (o.aide || o.version)
        return o;
    if (o.reparation
        && (o.sansfenetre || o.choix || !o.fichiermaj.isEmpty() || o.automatique || o.verification
            || !o.miroir.isEmpty())) {
        erreur = QStringLiteral("--repair-rights ne va qu'avec --product-dir");
        return std::nullopt;
    }
    if (!o.fichiermaj.isEmpty() && o.automatique) {
        erreur = QStringLiteral("--install et --auto ne vont pas ensemble");
        return std::nullopt;
    }
    if (o.verification && (!o.fichiermaj.isEmpty() || o.automatique)) {
        erreur = QStringLiteral("--check ne va pas avec --install ni --auto");
        return std::nullopt;
    }
    if (!o.miroir.isEmpty() && (!o.fichiermaj.isEmpty() || o.automatique || o.verification)) {
        erreur = QStringLiteral("--mirror ne va pas avec --install, --auto ni --check");
        return std::nullopt;
    }
    if (!o.miroir.isEmpty() && o.adressebase.isEmpty()) {
        erreur = QStringLiteral("--mirror demande --base-url ADRESSE");
        return std::nullopt;
    }
    if (o.miroir.isEmpty() && !o.adressebase.isEmpty()) {
        erreur = QStringLiteral("--base-url ne va qu'avec --mirror");
        return std::nullopt;
    }
    if (!o.sansfenetre && !o.miroir.isEmpty()) {
        erreur = QStringLiteral("--mirror demande --unattended");
        return std::nullopt;
    }
    if (o.sansfenetre && o.fichiermaj.isEmpty() && !o.automatique && !o.verification && o.miroir.isEmpty()) {
        erreur = QStringLiteral("--unattended demande --install FICHIER.maj, --auto, --check ou --mirror DOSSIER");
        return std::nullopt;
    }
    if (!o.sansfenetre && o.verification) {
        erreur = QStringLiteral("--check demande --unattended");
        return std::nullopt;
    }
    if (!o.sansfenetre && (!o.fichiermaj.isEmpty() || o.automatique)) {
        erreur = QStringLiteral("--install et --auto demandent --unattended");
        return std::nullopt;
    }
    if (o.sansfenetre && o.choix) {
        erreur = QStringLiteral("--chooser ne va pas avec --unattended");
        return std::nullopt;
    }
    return o;
}

QString texteaide(const QString& dossierpardefaut)
{
    return QStringLiteral("Utilisation : velorine-maj [OPTIONS]\n"
                          "\n"
                          "Met à jour le logiciel Velorine, puis le relance.\n"
                          "Sans option : choix d'un fichier de mise à jour (*.maj) à installer.\n"
                          "\n"
                          "Options :\n"
                          "  --chooser                 proposer le choix de la procédure de mise à jour\n"
                          "                            (par téléchargement ou à partir d'un fichier)\n"
                          "  --product-dir DOSSIER     dossier du logiciel (par défaut : %1)\n"
                          "  --unattended              sans fenêtre : chaque message devient une ligne\n"
                          "                            « TITRE: TEXTE » sur la sortie d'erreur, la question\n"
                          "                            reçoit la réponse Non et le logiciel n'est pas relancé\n"
                          "  --install FICHIER.maj     avec --unattended : installer ce fichier de mise à jour\n"
                          "  --auto                    avec --unattended : mise à jour par téléchargement\n"
                          "  --check                   avec --unattended : vérifier, sans rien modifier,\n"
                          "                            si une mise à jour par téléchargement attend\n"
"  --mirror DOSSIER          avec --unattended et --base-url : copier dans DOSSIER\n"
                          "                            la liste des mises à jour et tous les fichiers\n"
                          "                            qu'elle nomme, pour toute une salle ; seuls les\n"
                          "                            fichiers changés sont téléchargés à nouveau\n"
                          "  --base-url ADRESSE        l'adresse où les postes trouvent DOSSIER\n"
                          "                            (http, https, ftp, ou file:/// d'un dossier partagé) :\n"
                          "                            DOSSIER/LISTE.MAJ nomme ses fichiers à cette adresse\n"
                          "  --timeout SECONDES        délai sans progrès d'un transfert (60 par défaut)\n"
                          "  --parallel N              fichiers téléchargés à la fois, chacun mis en\n"
                          "                            place à son tour (4 par défaut ; 1 : un par un)\n"
                          "  --verbose                 une ligne par transfert sur la sortie d'erreur :\n"
                          "                            adresse, réponse du serveur, octets, durée,\n"
                          "                            connexion réutilisée ou non, raison d'un échec\n"
                          "  --repair-rights           donner au groupe du dossier du logiciel chaque\n"
                          "                            fichier et dossier qu'il contient, avec les droits\n"
                          "                            de leur propriétaire (après une copie à la main)\n"
                          "  --help                    afficher cette aide\n"
                          "  --version                 afficher la version\n"
                          "\n"
                          "Environnement :\n"
                          "  http_proxy, https_proxy, no_proxy\n"
                          "                            mandataire des transferts (libcurl ignore exprès\n"
                          "                            HTTP_PROXY en majuscules)\n"
                          "  SSL_CERT_FILE, SSL_CERT_DIR, CURL_CA_BUNDLE\n"
                          "                            autorités de certification ajoutées à celles du\n"
                          "                            système\n"
                          "\n"
                          "Code de sortie sans fenêtre : 0 si aucun message d'erreur n'a été affiché,\n"
                          "1 sinon ; 2 pour une erreur dans la ligne de commande ; 3 si une autre mise\n"
                          "à jour de Velorine (ou, avec --mirror, un autre miroir du même dossier) est\n"
                          "déjà en cours ; 4 si Velorine est ouvert (rien n'est remplacé). Avec --check :\n"
                          "0 si le logiciel est à jour, 10 si une mise à jour attend, 1 en cas d'échec.\n")
        .arg(dossierpardefaut.isEmpty() ? QStringLiteral("celui du programme") : dossierpardefaut);
}

} // namespace velorine
