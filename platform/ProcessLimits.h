#pragma once

namespace ProcessLimits {

// Lets the process have as many open descriptors as the system allows it
// (the soft limit raised to the hard one), so that many connections do not
// run short of them early. Nothing where there is no such limit.
void raiseDescriptorLimit();

} // namespace ProcessLimits
