#pragma once

// The whole object-model port in one include.
#include "host/application.h"
#include "host/codes.h"
#include "host/data.h"
#include "host/display.h"
#include "host/error.h"
#include "host/field_value.h"
#include "host/geometry.h"
#include "host/map.h"
#include "host/object.h"
#include "host/renderers.h"
#include "host/symbols.h"
