#pragma once
// The updater's configuration folder: the administrator's, outside every
// product folder, so that no member of a product's group can change what
// it holds. It holds the publisher's key VELORINE.PUB, which turns the proof
// of origin on for every product folder of the machine.
//
// Built in (the CMake variable VELORINE_CONF_DIR, /etc/velorine-maj by
// default); a build for development may name another at start-up.

#include <QString>

namespace velorine {

// The configuration folder, without a trailing separator.
QString dossierconfiguration();

// Names another configuration folder for the rest of the process.
void reglerdossierconfiguration(const QString& dossier);

} // namespace velorine
