#include "platform/dialoguesconsole.h"

namespace velorine {

void DialoguesConsole::ligne(const QString& titre, const QString& texte)
{
    const QByteArray l = (titre + QStringLiteral(": ") + texte + u'\n').toUtf8();
    std::fwrite(l.constData(), 1, static_cast<std::size_t>(l.size()), sortie_);
    std::fflush(sortie_);
}

void DialoguesConsole::message(Icone icone, const QString& titre, const QString& texte)
{
    if (icone == Icone::Erreur)
        erreur_ = true;
    ligne(titre, texte);
}

bool DialoguesConsole::question(const QString& titre, const QString& texte)
{
    ligne(titre, texte);
    return false;
}

} // namespace velorine
