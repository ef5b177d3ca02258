#include "fs/shell.h"
