#pragma once
// A stop asked of an unattended run: SIGTERM (the service stopped, the
// machine shut down), SIGINT (Ctrl+C) or SIGHUP (the terminal gone). The run
// ends cleanly instead of dying where it stands: the transfer in progress
// stops as a failed one (a large file keeps its start for the next run), and
// the run ends through its failure path: one message, the level not
// recorded, the exit status of a failure.

namespace velorine {

// From now on those three signals are noted instead of ending the process.
void intercepterarrets();

// The stop signal received, or 0 when none came.
int arretdemande() noexcept;

} // namespace velorine
