// Resource identifiers shared by pyxtern.rc and the code.
#pragma once

#define IDI_PYXTERN 1
