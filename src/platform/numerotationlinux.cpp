#include "platform/numerotationsysteme.h"

#include "base/echec.h"

#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QElapsedTimer>
#include <QVariantMap>
#include <algorithm>

namespace velorine {
namespace {

const QString service = QStringLiteral("org.freedesktop.NetworkManager");
const QString objetnm = QStringLiteral("/org/freedesktop/NetworkManager");
const QString interfacenm = QStringLiteral("org.freedesktop.NetworkManager");
const QString interfaceactive = QStringLiteral("org.freedesktop.NetworkManager.Connection.Active");
const QString interfacereglages = QStringLiteral("org.freedesktop.NetworkManager.Settings.Connection");
const QString interfaceperipherique = QStringLiteral("org.freedesktop.NetworkManager.Device");
const QString interfaceproprietes = QStringLiteral("org.freedesktop.DBus.Properties");

constexpr unsigned activee = 2;           // NM_ACTIVE_CONNECTION_STATE_ACTIVATED
constexpr unsigned peripheriquemodem = 8; // NM_DEVICE_TYPE_MODEM
constexpr unsigned peripheriqueppp = 23;  // NM_DEVICE_TYPE_PPP

// One question put to NetworkManager: every call is bounded, and so is the
// whole question.
class Questions {
public:
    Questions(QDBusConnection& bus, int delai) : bus_(bus), delai_(delai) { montre_.start(); }

    QList<QVariant> appeler(const QString& chemin, const QString& interface, const QString& methode,
                            const QList<QVariant>& arguments = {})
    {
        const qint64 reste = 4LL * delai_ - montre_.elapsed();
        if (reste <= 0)
            throw Echec("NetworkManager: délai dépassé");
        QDBusMessage appel = QDBusMessage::createMethodCall(service, chemin, interface, methode);
        appel.setArguments(arguments);
        const QDBusMessage reponse = bus_.call(appel, QDBus::Block, static_cast<int>(std::min<qint64>(delai_, reste)));
        if (reponse.type() != QDBusMessage::ReplyMessage)
            throw Echec("NetworkManager: " + reponse.errorName().toStdString() + " "
                        + reponse.errorMessage().toStdString());
        return reponse.arguments();
    }

    QVariant propriete(const QString& chemin, const QString& interface, const QString& nom)
    {
        const QList<QVariant> r = appeler(chemin, interfaceproprietes, QStringLiteral("Get"), {interface, nom});
        if (r.isEmpty())
            throw Echec("NetworkManager: propriété sans valeur");
        return r.first().value<QDBusVariant>().variant();
    }

private:
    QDBusConnection& bus_;
    int delai_;
    QElapsedTimer montre_;
};

QList<QDBusObjectPath> chemins(const QVariant& valeur)
{
    if (valeur.canConvert<QDBusArgument>())
        return qdbus_cast<QList<QDBusObjectPath>>(valeur);
    return valeur.value<QList<QDBusObjectPath>>();
}

bool bluetoothdun(Questions& q, const QString& reglages)
{
    const QList<QVariant> r = q.appeler(reglages, interfacereglages, QStringLiteral("GetSettings"));
    if (r.isEmpty())
        return false;
    const auto tout = qdbus_cast<QMap<QString, QVariantMap>>(r.first());
    return tout.value(QStringLiteral("bluetooth")).value(QStringLiteral("type")).toString() == u"dun";
}

bool numerotation(Questions& q, const QString& active)
{
    const QString type = q.propriete(active, interfaceactive, QStringLiteral("Type")).toString();
    if (type == u"gsm" || type == u"cdma" || type == u"pppoe")
        return true;
    if (type == u"bluetooth") {
        const QString reglages =
            q.propriete(active, interfaceactive, QStringLiteral("Connection")).value<QDBusObjectPath>().path();
        if (bluetoothdun(q, reglages))
            return true;
    }
    for (const QDBusObjectPath& p : chemins(q.propriete(active, interfaceactive, QStringLiteral("Devices")))) {
        const unsigned genre = q.propriete(p.path(), interfaceperipherique, QStringLiteral("DeviceType")).toUInt();
        if (genre == peripheriquemodem || genre == peripheriqueppp)
            return true;
    }
    return false;
}

} // namespace

NumerotationNetworkManager::NumerotationNetworkManager(QDBusConnection bus, int delai)
    : bus_(std::move(bus)), delai_(delai)
{
}

std::optional<NumerotationNetworkManager::Connexion> NumerotationNetworkManager::premiereconnexion()
{
    if (!bus_.isConnected())
        return std::nullopt;
    try {
        Questions q(bus_, delai_);
        for (const QDBusObjectPath& p :
             chemins(q.propriete(objetnm, interfacenm, QStringLiteral("ActiveConnections")))) {
            if (numerotation(q, p.path()))
                return Connexion{p.path(), q.propriete(p.path(), interfaceactive, QStringLiteral("State")).toUInt()};
        }
    } catch (const std::exception&) {
        // no NetworkManager, or it failed to answer: no connection
    }
    return std::nullopt;
}

bool NumerotationNetworkManager::connexionactive()
{
    const auto c = premiereconnexion();
    return c && c->etat == activee;
}

void NumerotationNetworkManager::raccrocher()
{
    const auto c = premiereconnexion();
    if (!c)
        return;
    ignorer([&] {
        Questions(bus_, delai_)
            .appeler(objetnm, interfacenm, QStringLiteral("DeactivateConnection"),
                     {QVariant::fromValue(QDBusObjectPath(c->chemin))});
    });
}

std::unique_ptr<Numerotation> numerotationsysteme()
{
    return std::make_unique<NumerotationNetworkManager>();
}

} // namespace velorine
