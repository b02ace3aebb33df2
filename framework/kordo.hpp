#pragma once
// Every interface of the Kordo framework, for the program and for the UI library alike.
#include "framework/kordo_component.hpp"
#include "framework/kordo_logger.hpp"
#include "framework/kordo_services.hpp"
#include "framework/kordo_system_api.hpp"
#include "framework/kordo_ui.hpp"
#include "framework/kordo_variable_param.hpp"
