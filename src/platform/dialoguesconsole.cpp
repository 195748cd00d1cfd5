#include "platform/dialoguesconsole.h"

namespace velorine {

QString echappercontroles(const QString& texte)
{
    QString sortie;
    sortie.reserve(texte.size());
    for (const QChar c : texte) {
        const char16_t u = c.unicode();
        if (u < 0x20 || (u >= 0x7F && u <= 0x9F))
            sortie += QStringLiteral("\\x%1").arg(static_cast<int>(u), 2, 16, QLatin1Char('0'));
        else
            sortie += c;
    }
    return sortie;
}

void DialoguesConsole::ligne(const QString& titre, const QString& texte)
{
    // Texts may carry names read from files: their control characters
    // (escape sequences, bell, carriage return) never reach the terminal raw.
    const QByteArray l = (echappercontroles(titre) + QStringLiteral(": ") + echappercontroles(texte) + u'\n').toUtf8();
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
