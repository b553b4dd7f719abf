// The shared vocabulary under the name the track tests once used.
#pragma once
#include "support/TestEvents.h"
namespace forms_test {}
namespace reader_test {}
