// Shared pieces of the test programs.
#include "support/pool_fixture.h"
