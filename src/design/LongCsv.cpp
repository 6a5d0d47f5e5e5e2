#include "design/LongCsv.h"
