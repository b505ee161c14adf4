#include "settings/shared_settings.h"

Settings SharedSettings;
