// Data is header-only; this unit keeps the library target non-empty until the platform grows.
#include "Platform/Foundation/Data.h"
