#include "runtime/text_value.h"
