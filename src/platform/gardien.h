#pragma once
// The edge of an event handler: nothing thrown inside a handler crosses into
// Qt. A failure that escaped the handler's own error modes is logged; the end
// of the process used by test shells (FinProcessus) simply stops the handler.

#include "platform/coquille.h"

#include <QtGlobal>
#include <exception>

namespace velorine {

template <class Corps>
void gardien(Corps&& corps) noexcept
{
    try {
        corps();
    } catch (const FinProcessus&) {
        // the process has ended, as far as this handler is concerned
    } catch (const std::exception& e) {
        qWarning("velorine-maj: %s", e.what());
    } catch (...) {
        qWarning("velorine-maj: exception inconnue");
    }
}

} // namespace velorine
