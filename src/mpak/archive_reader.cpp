#include "mpak/archive.h"
