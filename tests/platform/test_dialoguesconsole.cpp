// The message lines of unattended runs.

#include "platform/dialoguesconsole.h"

#include <cstdio>
#include <functional>
#include <gtest/gtest.h>

namespace velorine {
namespace {

QByteArray lignes(const std::function<void(DialoguesConsole&)>& action)
{
    std::FILE* f = std::tmpfile();
    DialoguesConsole d(f);
    action(d);
    std::rewind(f);
    QByteArray sortie;
    char tampon[512];
    while (const std::size_t n = std::fread(tampon, 1, sizeof tampon, f))
        sortie.append(tampon, static_cast<qsizetype>(n));
    std::fclose(f);
    return sortie;
}

TEST(DialoguesConsole, UneLigneParMessageCaracteresDeControleEchappes)
{
    EXPECT_EQ(lignes([](DialoguesConsole& d) {
                  d.message(Icone::Information, QStringLiteral("Mise à jour terminée"),
                            QStringLiteral("La mise à jour a réussi"));
              }),
              QStringLiteral("Mise à jour terminée: La mise à jour a réussi\n").toUtf8());
    const std::pair<QString, QString> cas[] = {
        {QStringLiteral("A\x1b[2J"), QStringLiteral("A\\x1b[2J")},
        {QStringLiteral("\x07\r\n\t"), QStringLiteral("\\x07\\x0d\\x0a\\x09")},
        {QStringLiteral("\x7f") + QChar(0x9b), QStringLiteral("\\x7f\\x9b")},
        {QStringLiteral("LIENDIR\\é.DAT"), QStringLiteral("LIENDIR\\é.DAT")},
    };
    for (const auto& [texte, attendu] : cas) {
        EXPECT_EQ(echappercontroles(texte), attendu);
        bool erreur = false;
        EXPECT_EQ(lignes([&](DialoguesConsole& d) {
                      d.message(Icone::Erreur, QStringLiteral("Titre"), texte);
                      erreur = d.erreurmontree();
                  }),
                  (QStringLiteral("Titre: ") + attendu + u'\n').toUtf8());
        EXPECT_TRUE(erreur);
    }
}

} // namespace
} // namespace velorine
