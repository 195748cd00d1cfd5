#pragma once
// The dial-up connection service.

namespace velorine {

class Numerotation {
public:
    virtual ~Numerotation() = default;
    // True when the first dial-up connection the system knows is connected.
    // Never fails: no service, no connection, or any error gives false.
    virtual bool connexionactive() = 0;
    // Hangs up the automatic dial-up connection; failures are ignored.
    virtual void raccrocher() = 0;
};

} // namespace velorine
