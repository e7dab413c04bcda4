// The built-in variable types of the simulation models.
#include "util/var_types.h"

namespace simulation {

VarType::~VarType() = default;

// Built before the ordinary static constructors, in this order, so that models and host
// code may use them from their own static initialisers.
LOOM_UTIL_EARLY_INIT WideFixedType WideFixedType::legacy("SPTfixed");
LOOM_UTIL_EARLY_INIT SysSingleType SysSingleType::builtIn("single");
LOOM_UTIL_EARLY_INIT SysDoubleType SysDoubleType::builtIn("double");

} // namespace simulation
