#include "probe/show_info_flag.hpp"

bool gShowInfo = false;
