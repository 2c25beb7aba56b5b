#pragma once
#include "bottom/lowest.h"
#include "top/upper.h"
