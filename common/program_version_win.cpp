#include "common/program_version.hpp"

#include "vxm_version.h"

const char kProgramVersion[] = VXM_VERSION_TEXT;
