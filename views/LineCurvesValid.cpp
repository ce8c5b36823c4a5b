#include "views/LineCurvesValid.h"

bool lineCurvesValid = true;
