#include "mv.API.h"

namespace mv {} // namespace mv
