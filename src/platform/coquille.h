#pragma once
// Starting the product and ending the updater.

#include <QString>

namespace velorine {

// Thrown by test shells instead of ending the process. It does not derive
// from std::exception: ignore mode and failure blocks let it pass, and only
// the edge of an event handler (gardien) stops it.
struct FinProcessus {
    int code = 0;
};

class Coquille {
public:
    virtual ~Coquille() = default;
    // Starts the program detached from the updater. A failure to start is
    // silent.
    virtual void demarrer(const QString& programme) noexcept = 0;
    // Ends the process at once: no window's closing handler runs.
    [[noreturn]] virtual void terminer() = 0;
};

// The real shell. The product starts in a session of its own, in its folder,
// its standard streams on /dev/null. A Windows program that cannot run as it
// stands is started with wine when wine is on the PATH.
class CoquillePosix : public Coquille {
public:
    void demarrer(const QString& programme) noexcept override;
    [[noreturn]] void terminer() override;
};

} // namespace velorine

namespace velorine {

class DialoguesConsole;

// The shell of unattended runs: the product is not started, and the process
// ends with status 1 when an error message was shown, 0 otherwise.
class CoquilleSansProduit : public Coquille {
public:
    explicit CoquilleSansProduit(const DialoguesConsole& dialogues) : dialogues_(dialogues) {}
    void demarrer(const QString&) noexcept override {}
    [[noreturn]] void terminer() override;

private:
    const DialoguesConsole& dialogues_;
};

} // namespace velorine
