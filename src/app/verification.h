#pragma once
// The check of an automatic update (--unattended --check), for monitoring
// scripts: it fetches the update list into a temporary folder, never into
// the product folder, and tells what an update would do, without doing it.

#include "app/lignecommande.h"

#include <QString>
#include <cstdio>

namespace velorine {

// Exit statuses of the check.
inline constexpr int verificationajour = 0;      // the product is up to date
inline constexpr int verificationechec = 1;      // the check failed (its message is on stderr)
inline constexpr int verificationenattente = 10; // an update is waiting

// Reads the product's level and the list's address as the download window
// does, fetches and reads the list as the automatic update does, then
// writes to sortie the current level, the highest level offered and each
// file an update would fetch (level, address, name, one per line, separated
// by tabs). Writes nothing in the product folder. Each message becomes one
// line on standard error. Needs a QCoreApplication.
int verifiersansfenetre(const Options& options, const QString& dossierproduit, std::FILE* sortie = stdout);

} // namespace velorine
