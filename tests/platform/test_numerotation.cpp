// The dial-up service over NetworkManager, against a fake NetworkManager
// (python3-dbusmock's networkmanager template) on a private bus that each test
// starts and stops.

#include "platform/numerotationsysteme.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>

using namespace velorine;

namespace {

using Reglages = QMap<QString, QVariantMap>;

const QString python = QStringLiteral("/usr/bin/python3");
const QString nm = QStringLiteral("org.freedesktop.NetworkManager");
const QString mock = QStringLiteral("org.freedesktop.DBus.Mock");

constexpr unsigned activee = 2;    // NM_ACTIVE_CONNECTION_STATE_ACTIVATED
constexpr unsigned activation = 1; // NM_ACTIVE_CONNECTION_STATE_ACTIVATING

// A private bus: a dbus-daemon of our own on a socket in a temporary folder,
// with no service to activate.
class BusPrive {
public:
    ~BusPrive()
    {
        arreter(faux_);
        bus_ = QDBusConnection(QString());
        QDBusConnection::disconnectFromBus(nom_);
        arreter(demon_);
    }

    // Starts the bus; an empty reason means success.
    QString demarrer()
    {
        const QString exe = QStandardPaths::findExecutable(QStringLiteral("dbus-daemon"));
        if (exe.isEmpty())
            return QStringLiteral("dbus-daemon is not installed");
        QFile config(dossier_.filePath(QStringLiteral("bus.conf")));
        if (!config.open(QIODevice::WriteOnly))
            return QStringLiteral("cannot write the bus configuration");
        config.write(
            QStringLiteral("<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN\"\n"
                           " \"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
                           "<busconfig>\n"
                           "  <type>session</type>\n"
                           "  <listen>unix:dir=%1</listen>\n"
                           "  <auth>EXTERNAL</auth>\n"
                           "  <policy context=\"default\">\n"
                           "    <allow send_destination=\"*\" eavesdrop=\"true\"/>\n"
                           "    <allow eavesdrop=\"true\"/>\n"
                           "    <allow own=\"*\"/>\n"
                           "  </policy>\n"
                           "</busconfig>\n")
                .arg(dossier_.path())
                .toUtf8());
        config.close();

        demon_.start(exe, {QStringLiteral("--config-file=") + config.fileName(), QStringLiteral("--nofork"),
                           QStringLiteral("--print-address")});
        QDeadlineTimer limite(10000);
        while (!demon_.canReadLine() && !limite.hasExpired())
            if (!demon_.waitForReadyRead(static_cast<int>(std::max<qint64>(1, limite.remainingTime()))))
                break;
        adresse_ = QString::fromUtf8(demon_.readLine()).trimmed();
        if (adresse_.isEmpty())
            return QStringLiteral("dbus-daemon gave no address");
        bus_ = QDBusConnection::connectToBus(adresse_, nom_);
        if (!bus_.isConnected())
            return QStringLiteral("cannot connect to the private bus");
        return QString();
    }

    // Starts the fake NetworkManager on the bus; an empty reason means success.
    QString demarrernm()
    {
        QProcess sonde;
        sonde.start(python, {QStringLiteral("-c"), QStringLiteral("import dbusmock")});
        if (!sonde.waitForFinished(20000) || sonde.exitCode() != 0)
            return QStringLiteral("python3-dbusmock is not installed for /usr/bin/python3");
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("DBUS_SYSTEM_BUS_ADDRESS"), adresse_);
        env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), adresse_);
        return lancer(env, {QStringLiteral("-m"), QStringLiteral("dbusmock"), QStringLiteral("--system"),
                            QStringLiteral("--template"), QStringLiteral("networkmanager")});
    }

    // Starts a NetworkManager that owns its name and never answers.
    QString demarrermuet()
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("BUS"), adresse_);
        return lancer(env, {QStringLiteral("-c"), QStringLiteral("import dbus, os, time\n"
                                                                 "bus = dbus.bus.BusConnection(os.environ['BUS'])\n"
                                                                 "bus.request_name('org.freedesktop.NetworkManager')\n"
                                                                 "time.sleep(120)\n")});
    }

    QDBusConnection bus() const { return bus_; }

    // A call to the fake; fails the test on an error reply.
    QList<QVariant> appeler(const QString& chemin, const QString& interface, const QString& methode,
                            const QList<QVariant>& arguments)
    {
        QDBusMessage m = QDBusMessage::createMethodCall(nm, chemin, interface, methode);
        m.setArguments(arguments);
        const QDBusMessage r = bus_.call(m, QDBus::Block, 10000);
        EXPECT_EQ(r.type(), QDBusMessage::ReplyMessage) << qPrintable(methode) << ": " << qPrintable(r.errorMessage());
        return r.arguments();
    }

    // A device of the given NetworkManager type (1 Ethernet, 8 modem, 23 PPP).
    QString peripherique(const QString& nomp, unsigned genre)
    {
        const QString chemin =
            appeler(QStringLiteral("/org/freedesktop"), mock, QStringLiteral("AddEthernetDevice"), {nomp, nomp, 20})
                .value(0)
                .toString();
        appeler(QStringLiteral("/org/freedesktop"), mock, QStringLiteral("SetProperty"),
                {chemin, QStringLiteral("org.freedesktop.NetworkManager.Device"), QStringLiteral("DeviceType"),
                 QVariant::fromValue(QDBusVariant(QVariant::fromValue(genre)))});
        return chemin;
    }

    // A connection of settings, activated on a device in the given state.
    QString connexion(const QString& nomc, const Reglages& reglages, const QString& peripherique, unsigned etat)
    {
        const QString conn = appeler(QStringLiteral("/org/freedesktop/NetworkManager/Settings"),
                                     QStringLiteral("org.freedesktop.NetworkManager.Settings"),
                                     QStringLiteral("AddConnection"), {QVariant::fromValue(reglages)})
                                 .value(0)
                                 .value<QDBusObjectPath>()
                                 .path();
        return appeler(QStringLiteral("/org/freedesktop"), mock, QStringLiteral("AddActiveConnection"),
                       {QStringList{peripherique}, conn, QStringLiteral("/"), nomc, etat})
            .value(0)
            .toString();
    }

    QStringList actives()
    {
        QDBusMessage m =
            QDBusMessage::createMethodCall(nm, QStringLiteral("/org/freedesktop/NetworkManager"),
                                           QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
        m.setArguments({nm, QStringLiteral("ActiveConnections")});
        const QDBusMessage r = bus_.call(m, QDBus::Block, 10000);
        QStringList chemins;
        const QVariant v = r.arguments().value(0).value<QDBusVariant>().variant();
        for (const QDBusObjectPath& p : qdbus_cast<QList<QDBusObjectPath>>(v))
            chemins.append(p.path());
        return chemins;
    }

private:
    QString lancer(const QProcessEnvironment& env, const QStringList& arguments)
    {
        faux_.setProcessEnvironment(env);
        // The fake logs every call on its standard output: unread, a full pipe
        // would stop it.
        faux_.setStandardOutputFile(QProcess::nullDevice());
        faux_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        faux_.start(python, arguments);
        if (!faux_.waitForStarted(10000))
            return QStringLiteral("cannot start /usr/bin/python3");
        // Ready once it owns the name.
        QDeadlineTimer limite(20000);
        while (!bus_.interface()->isServiceRegistered(nm) && !limite.hasExpired()) {
            if (faux_.state() != QProcess::Running)
                return QStringLiteral("the fake NetworkManager ended at start");
            QThread::msleep(20);
        }
        return bus_.interface()->isServiceRegistered(nm) ? QString()
                                                         : QStringLiteral("the fake NetworkManager did not start");
    }

    static void arreter(QProcess& p)
    {
        if (p.state() == QProcess::NotRunning)
            return;
        p.terminate();
        if (!p.waitForFinished(5000)) {
            p.kill();
            p.waitForFinished(5000);
        }
    }

    static inline int compteur_ = 0;
    QString nom_ = QStringLiteral("velorine-test-%1").arg(++compteur_);
    QTemporaryDir dossier_;
    QProcess demon_;
    QProcess faux_;
    QString adresse_;
    QDBusConnection bus_{QString()};
};

Reglages reglages(const QString& type, const QString& id)
{
    Reglages r;
    r[QStringLiteral("connection")] = QVariantMap{{QStringLiteral("id"), id}, {QStringLiteral("type"), type}};
    return r;
}

class NetworkManagerFactice : public ::testing::Test {
protected:
    void SetUp() override
    {
        qDBusRegisterMetaType<Reglages>();
        const QString raison = bus.demarrer();
        if (!raison.isEmpty())
            GTEST_SKIP() << raison.toStdString();
    }
    void avecnm()
    {
        const QString raison = bus.demarrernm();
        if (!raison.isEmpty())
            GTEST_SKIP() << raison.toStdString();
    }
    BusPrive bus;
};

} // namespace

TEST(Numerotation, SansBusPasDeConnexion)
{
    const QString nom = QStringLiteral("velorine-sans-bus");
    {
        NumerotationNetworkManager n(QDBusConnection::connectToBus(QStringLiteral("unix:path=/nonexistent/bus"), nom));
        EXPECT_FALSE(n.connexionactive());
        n.raccrocher(); // nothing to hang up, nothing reported
    }
    QDBusConnection::disconnectFromBus(nom);
}

TEST_F(NetworkManagerFactice, BusSansNetworkManager)
{
    NumerotationNetworkManager n(bus.bus());
    EXPECT_FALSE(n.connexionactive());
    n.raccrocher();
}

TEST_F(NetworkManagerFactice, NetworkManagerSansConnexion)
{
    avecnm();
    NumerotationNetworkManager n(bus.bus());
    EXPECT_FALSE(n.connexionactive());
    n.raccrocher();
}

TEST_F(NetworkManagerFactice, ModemGsmConnecteEtRaccroche)
{
    avecnm();
    const QString modem = bus.peripherique(QStringLiteral("ttyUSB0"), 8);
    const QString active =
        bus.connexion(QStringLiteral("gsm"), reglages(QStringLiteral("gsm"), QStringLiteral("Modem")), modem, activee);
    NumerotationNetworkManager n(bus.bus());
    EXPECT_TRUE(n.connexionactive());
    n.raccrocher();
    EXPECT_FALSE(bus.actives().contains(active));
    EXPECT_FALSE(n.connexionactive());
}

TEST_F(NetworkManagerFactice, ConnexionEncoreEnActivation)
{
    avecnm();
    const QString modem = bus.peripherique(QStringLiteral("ttyUSB0"), 8);
    bus.connexion(QStringLiteral("gsm"), reglages(QStringLiteral("gsm"), QStringLiteral("Modem")), modem, activation);
    NumerotationNetworkManager n(bus.bus());
    EXPECT_FALSE(n.connexionactive());
}

TEST_F(NetworkManagerFactice, SeulesLesConnexionsParNumerotationComptent)
{
    // Ethernet first, active; then a modem: the modem decides, and hanging up
    // leaves the Ethernet connection alone.
    avecnm();
    const QString eth = bus.peripherique(QStringLiteral("eth0"), 1);
    const QString filaire = bus.connexion(
        QStringLiteral("filaire"), reglages(QStringLiteral("802-3-ethernet"), QStringLiteral("Filaire")), eth, activee);
    NumerotationNetworkManager n(bus.bus());
    EXPECT_FALSE(n.connexionactive()); // Ethernet alone is no dial-up connection

    const QString modem = bus.peripherique(QStringLiteral("ttyUSB0"), 8);
    const QString gsm =
        bus.connexion(QStringLiteral("gsm"), reglages(QStringLiteral("gsm"), QStringLiteral("Modem")), modem, activee);
    EXPECT_TRUE(n.connexionactive());
    n.raccrocher();
    EXPECT_EQ(bus.actives(), QStringList{filaire});
}

TEST_F(NetworkManagerFactice, SeuleLaPremiereConnexionParNumerotationDecide)
{
    avecnm();
    const QString m1 = bus.peripherique(QStringLiteral("ttyUSB0"), 8);
    const QString m2 = bus.peripherique(QStringLiteral("ttyUSB1"), 8);
    bus.connexion(QStringLiteral("a"), reglages(QStringLiteral("gsm"), QStringLiteral("A")), m1, activation);
    bus.connexion(QStringLiteral("b"), reglages(QStringLiteral("cdma"), QStringLiteral("B")), m2, activee);
    EXPECT_FALSE(NumerotationNetworkManager(bus.bus()).connexionactive());
}

struct CasGenre {
    const char* type;      // connection type
    const char* bluetooth; // bluetooth.type, or nullptr
    unsigned peripherique; // NetworkManager device type
    bool numerotation;     // counts as a dial-up connection
};

TEST_F(NetworkManagerFactice, GenresDeConnexion)
{
    const CasGenre cas[] = {
        {"gsm", nullptr, 8, true},
        {"cdma", nullptr, 8, true},
        {"pppoe", nullptr, 1, true},
        {"bluetooth", "dun", 5, true},
        {"bluetooth", "panu", 5, false},
        {"802-3-ethernet", nullptr, 8, true},  // carried by a modem device
        {"802-3-ethernet", nullptr, 23, true}, // carried by a PPP device
        {"802-3-ethernet", nullptr, 1, false},
        {"802-11-wireless", nullptr, 2, false},
        {"vpn", nullptr, 1, false},
    };
    avecnm();
    int i = 0;
    for (const CasGenre& c : cas) {
        // Each case on its own device, and the previous case hung up or kept
        // inactive: the fake lists every active connection in order, so a
        // fresh one lies behind the ones that do not count.
        const QString nomp = QStringLiteral("p%1").arg(++i);
        const QString p = bus.peripherique(nomp, c.peripherique);
        Reglages r = reglages(QString::fromLatin1(c.type), nomp);
        if (c.bluetooth)
            r[QStringLiteral("bluetooth")] = QVariantMap{{QStringLiteral("type"), QString::fromLatin1(c.bluetooth)}};
        const QString active = bus.connexion(nomp, r, p, activee);
        NumerotationNetworkManager n(bus.bus());
        EXPECT_EQ(n.connexionactive(), c.numerotation) << c.type << " " << c.peripherique;
        if (c.numerotation) {
            n.raccrocher();
            EXPECT_FALSE(bus.actives().contains(active)) << c.type;
        }
    }
}

TEST_F(NetworkManagerFactice, NetworkManagerMuetNeRetientPasLaFenetre)
{
    const QString raison = bus.demarrermuet();
    if (!raison.isEmpty())
        GTEST_SKIP() << raison.toStdString();
    NumerotationNetworkManager n(bus.bus(), 200);
    QElapsedTimer montre;
    montre.start();
    EXPECT_FALSE(n.connexionactive());
    n.raccrocher();
    // Each question gives up after its bound; a generous margin for a loaded
    // machine, far below a hang.
    EXPECT_LT(montre.elapsed(), 10000);
}
