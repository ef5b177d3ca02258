// Shell folders, shortcuts and the system directories.
#pragma once
