#include "shell/mainwindow.h"

bool statusBusy;
