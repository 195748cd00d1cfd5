#include "platform/interruption.h"

#include <csignal>
#include <initializer_list>

namespace velorine {
namespace {

volatile std::sig_atomic_t recu = 0;

extern "C" void noter(int signal)
{
    recu = signal;
}

} // namespace

void intercepterarrets()
{
    struct sigaction action {};
    action.sa_handler = noter;
    sigemptyset(&action.sa_mask);
    // No SA_RESTART: a wait in progress returns at once.
    action.sa_flags = 0;
    for (const int signal : {SIGTERM, SIGINT, SIGHUP})
        ::sigaction(signal, &action, nullptr);
}

int arretdemande() noexcept
{
    return recu;
}

} // namespace velorine
