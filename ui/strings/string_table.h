// Transitional: the texts moved to text/.
#pragma once
#include "text/string_table.h"
