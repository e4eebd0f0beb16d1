#include "admin/zbtyprules.h"
