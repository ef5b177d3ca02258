#include "fs/fileops.h"
