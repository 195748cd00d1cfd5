#pragma once
// The two error modes of the updater.
//
// Every operation that can fail throws Echec. Its reason is for logs and
// tests; the user only ever sees the message that the caller chooses.
//
// Ignore mode: a step wrapped in ignorer() that fails is skipped, and the
// caller goes on with the next step. Variables the step was to set keep their
// previous values. The reason is traced in the logging category
// "velorine.ignorer", silent unless asked for:
//     QT_LOGGING_RULES="velorine.ignorer.debug=true" velorine-maj ...
//
// Failure mode: a region written as a try block whose catch is the failure
// block.
//
// Ending the process is not an error: the process-ending unwind used in tests
// (FinProcessus) does not derive from std::exception, so neither ignorer()
// nor a failure block catching std::exception swallows it.

#include <QLoggingCategory>
#include <QString>
#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <string>
#include <utility>

namespace velorine {

class Echec : public std::runtime_error {
public:
    explicit Echec(const std::string& raison) : std::runtime_error(raison) {}
};

// The reason of a system call that failed on a path, read from errno at
// once: what was being done, the path, and the system's text ("écriture de
// /opt/velorine/A.DAT: No space left on device").
inline std::string raison(const char* quoi, const QString& chemin)
{
    return std::string(quoi) + " " + chemin.toStdString() + ": " + std::strerror(errno);
}

// Where ignorer() leaves the reason of a skipped step: debug messages,
// disabled by default.
inline const QLoggingCategory& journalignorer()
{
    static const QLoggingCategory categorie("velorine.ignorer", QtInfoMsg);
    return categorie;
}

// Runs one step in ignore mode. Returns true when the step succeeded.
template <class Etape>
bool ignorer(Etape&& etape)
{
    try {
        std::forward<Etape>(etape)();
        return true;
    } catch (const std::exception& e) {
        qCDebug(journalignorer, "étape ignorée : %s", e.what());
        return false;
    }
}

} // namespace velorine
