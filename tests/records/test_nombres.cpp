#include "base/echec.h"
#include "records/nombres.h"
#include "base/texte.h"

#include <gtest/gtest.h>

using namespace velorine;

struct CasNombre {
    const char16_t* texte;
    double valeur;
};

TEST(LireNombre, SuitLaRegleDuNombreEnTete)
{
    const CasNombre cas[] = {
        {u"", 0},       {u"abc", 0},       {u"7abc", 7},    {u" 7", 7},          {u"   12", 12},
        {u"1 2", 12},   {u"1\t2\n3", 123}, {u"-3", -3},     {u"+4", 4},          {u"- 3", -3},
        {u"3.5", 3.5},  {u"2.4", 2.4},     {u".5", 0.5},    {u"5.", 5},          {u"1.2.3", 1.2},
        {u"1E3", 1000}, {u"1.5e2", 150},   {u"2D2", 200},   {u"1E", 1},          {u"1E-2", 0.01},
        {u"&HFF", 255}, {u"&hff", 255},    {u"&HFFFF", -1}, {u"&H8000", -32768}, {u"&H10000", 65536},
        {u"&O17", 15},  {u"&O", 0},        {u"&X1", 0},     {u"-", 0},           {u".", 0},
        {u"\r5", 0},    {u"40000", 40000}, {u"1E-400", 0},
    };
    for (const auto& c : cas) {
        EXPECT_DOUBLE_EQ(lirenombre(QString::fromUtf16(c.texte)), c.valeur)
            << QString::fromUtf16(c.texte).toStdString();
    }
}

TEST(LireNombre, UneValeurTropGrandePourUnDoubleEstUnEchec)
{
    EXPECT_THROW(lirenombre(QStringLiteral("1E400")), Echec);
    EXPECT_THROW(lirenombre(QStringLiteral("&H1FFFFFFFF")), Echec);
    EXPECT_THROW(lirenombre(QStringLiteral("1") + QString(400, u'0')), Echec);
    EXPECT_THROW(lirenombre(QStringLiteral("-1") + QString(400, u'0')), Echec);
    EXPECT_THROW(lirenombre(QStringLiteral("0.") + QString(20, u'0') + QStringLiteral("1E400")), Echec);
}

// A number too small for a double reads as 0, however it is written: with
// zeros after the point, with a negative exponent, or with a positive
// exponent too small to make up for the zeros.
TEST(LireNombre, UneValeurTropPetitePourUnDoubleVautZero)
{
    const QString zeros(400, u'0');
    const QString cas[] = {
        QStringLiteral("0.") + zeros + QStringLiteral("1"),       QStringLiteral("-0.") + zeros + QStringLiteral("1"),
        QStringLiteral(".") + zeros + QStringLiteral("1"),        QStringLiteral("0.") + zeros + QStringLiteral("1E5"),
        QStringLiteral("000.") + zeros + QStringLiteral("25D+3"), QStringLiteral("1E-400"),
        QStringLiteral("1") + zeros + QStringLiteral("E-800"),
    };
    for (const QString& texte : cas)
        EXPECT_DOUBLE_EQ(lirenombre(texte), 0) << texte.left(12).toStdString() << "... (" << texte.size() << ")";
    // Within the range of a double, the same writings keep their value.
    EXPECT_DOUBLE_EQ(lirenombre(QStringLiteral("0.") + zeros + QStringLiteral("1E700")), 1e299);
    EXPECT_DOUBLE_EQ(lirenombre(QStringLiteral("1") + zeros + QStringLiteral("E-700")), 1e-300);
}

TEST(Entier16, ArrondiAuPairEtLimites)
{
    const std::pair<double, int> cas[] = {
        {4.5, 4},       {5.5, 6},         {3.5, 4},         {2.5, 2},           {-2.5, -2}, {2.4, 2}, {2.6, 3},
        {32767, 32767}, {-32768, -32768}, {32767.4, 32767}, {-32768.5, -32768}, {0.5, 0},   {1.5, 2},
    };
    for (const auto& [valeur, attendu] : cas)
        EXPECT_EQ(entier16(valeur), attendu) << valeur;

    for (double horslimites : {32767.5, 32768.0, -32769.0, 40000.0, 1e300})
        EXPECT_THROW(entier16(horslimites), Echec) << horslimites;
}

TEST(TexteNombre, UnBlancDevantLesValeursPositivesOuNulles)
{
    EXPECT_EQ(textenombre(5), QStringLiteral(" 5"));
    EXPECT_EQ(textenombre(0), QStringLiteral(" 0"));
    EXPECT_EQ(textenombre(12), QStringLiteral(" 12"));
    EXPECT_EQ(textenombre(-3), QStringLiteral("-3"));
    EXPECT_EQ(textenombre(-32768), QStringLiteral("-32768"));
}

TEST(PlusUn, DepasserLeCompteurEstUnEchec)
{
    EXPECT_EQ(plusun(1), 2);
    EXPECT_EQ(plusun(32766), 32767);
    EXPECT_THROW(plusun(32767), Echec);
}

TEST(Rogner, NeRetireQueLesEspaces)
{
    EXPECT_EQ(rogner(QStringLiteral("  3  ")), QStringLiteral("3"));
    EXPECT_EQ(rogner(QStringLiteral("   ")), QString());
    EXPECT_EQ(rogner(QStringLiteral("\tA ")), QStringLiteral("\tA"));
}
