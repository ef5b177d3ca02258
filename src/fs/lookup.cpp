#include "fs/lookup.h"
