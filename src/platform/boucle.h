#pragma once
// One yield to the event loop: pending events (repaints, clicks, close
// requests) are handled, then control comes back.

namespace velorine {

class Boucle {
public:
    virtual ~Boucle() = default;
    virtual void ceder() = 0;
};

class BoucleQt : public Boucle {
public:
    void ceder() override;
};

} // namespace velorine
