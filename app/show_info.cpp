#include "app/show_info.hpp"

bool gShowInfo = false;
