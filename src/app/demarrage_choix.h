#pragma once
// velorine-maj --chooser: the chooser typemaj in place of the update-file
// picker, the way to the automatic update by download.

#include "etat.h"
#include "services.h"

#include <functional>

class QWidget;

namespace velorine {

// Shows the chooser modally in front of fond (the backdrop; none: on its own)
// and returns when the user closes it. Its entry 1 shows the picker through
// montrerouvrir; entry 2, and the end of an update run, start the product and
// end the process without returning here.
void montrerchoix(Etat& etat, Services& services, const std::function<void()>& montrerouvrir,
                  QWidget* fond = nullptr);

} // namespace velorine
