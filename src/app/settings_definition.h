// The settings window and its controls, as data.
#pragma once

#include "platform/form_definition.h"

namespace zanto {

const platform::FormDef& SettingsFormDefinition();

}  // namespace zanto
