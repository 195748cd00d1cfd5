#pragma once
// One updater at a time on a product folder. Each updater holds an advisory
// lock (flock) on the product folder itself for as long as it runs: the
// folder always exists and is never written for this, so the lock works
// when the folder is read-only for the user, and the system releases it
// when the holder ends, even killed, so no stale lock can stay behind.

#include "platform/dialogues.h"

#include <QString>

namespace velorine {

// The exit status of an updater that finds another one at work.
inline constexpr int statutdejaencours = 3;

// Takes the lock of dossierproduit for the rest of the process, without
// waiting. Returns false only when another process holds it. A folder that
// cannot be opened is not locked: the update reports its own errors there.
// The lock is not handed to the programs the updater starts.
bool verrouillerproduit(const QString& dossierproduit);

// The message of an updater that finds another one at work.
void signalerdejaencours(Dialogues& dialogues);

// For main: shows that message in a message box (or, unattended, as one line
// on standard error) and returns statutdejaencours.
int refuserdejaencours(int& argc, char** argv, bool sansfenetre);

} // namespace velorine
