// The main window and its status line.
#pragma once

// A status text is shown; while true the wait cursor stays.
extern bool statusBusy;
