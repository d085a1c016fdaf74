#pragma once
#include "video/SurveillanceController.h"

// The services of the application objects as the surveillance controller and
// the status panel use them; objects that do not exist yet are left null.
CSurveillanceServices AppServices();
