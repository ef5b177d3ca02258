// Widening the access list of a file or directory.
#pragma once
