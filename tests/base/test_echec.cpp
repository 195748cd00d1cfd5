// Ignore mode: a failing step is skipped, its variables keep their values,
// and its reason is traced only when the logging rules ask for it.

#include "base/echec.h"

#include <QLoggingCategory>
#include <QString>
#include <QStringList>
#include <gtest/gtest.h>

using namespace velorine;

namespace {

QStringList messages;

void recueillir(QtMsgType, const QMessageLogContext& contexte, const QString& texte)
{
    messages.append(QString::fromLatin1(contexte.category) + QStringLiteral(": ") + texte);
}

class Ignorer : public ::testing::Test {
protected:
    void SetUp() override
    {
        messages.clear();
        precedent = qInstallMessageHandler(recueillir);
    }
    void TearDown() override
    {
        qInstallMessageHandler(precedent);
        QLoggingCategory::setFilterRules(QString());
    }
    QtMessageHandler precedent = nullptr;
};

} // namespace

TEST_F(Ignorer, UneEtapeQuiEchoueEstSauteeEtLaValeurGardee)
{
    int valeur = 1;
    EXPECT_FALSE(ignorer([&] {
        throw Echec("lecture impossible");
        valeur = 2;
    }));
    EXPECT_EQ(valeur, 1);
    EXPECT_TRUE(ignorer([&] { valeur = 3; }));
    EXPECT_EQ(valeur, 3);
}

TEST_F(Ignorer, LaRaisonEstSilencieuseParDefaut)
{
    ignorer([] { throw Echec("lecture impossible"); });
    EXPECT_TRUE(messages.isEmpty()) << messages.join(u'\n').toStdString();
}

TEST_F(Ignorer, LaRaisonEstTraceeSurDemande)
{
    QLoggingCategory::setFilterRules(QStringLiteral("velorine.ignorer.debug=true"));
    ignorer([] { throw Echec("lecture impossible"); });
    ignorer([] {});
    EXPECT_EQ(messages, QStringList{QStringLiteral("velorine.ignorer: étape ignorée : lecture impossible")});
}

TEST_F(Ignorer, LaFinDuProcessusNestPasUneErreur)
{
    struct Fin {};
    EXPECT_THROW(ignorer([] { throw Fin{}; }), Fin);
}
