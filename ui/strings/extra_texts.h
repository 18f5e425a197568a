// Transitional: the texts moved to text/.
#pragma once
#include "text/extra_texts.h"
