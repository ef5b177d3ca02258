#include "fs/access.h"
